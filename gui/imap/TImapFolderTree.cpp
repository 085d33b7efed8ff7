#include "gui/imap/TImapFolderTree.h"

#include <QHash>
#include <QTreeWidget>
#include <algorithm>

namespace {

bool IsInbox(const std::string& name) {
    return name.size() == 5 &&
           QString::fromStdString(name).compare(u"INBOX", Qt::CaseInsensitive) == 0;
}

}  // namespace

void TImapFolderTree::Fill(QTreeWidget& tree, const std::vector<TImapSession::TFolder>& folders,
                           const QString& current) {
    tree.clear();
    std::vector<const TImapSession::TFolder*> order;
    order.reserve(folders.size());
    for (const TImapSession::TFolder& folder : folders) {
        order.push_back(&folder);
    }
    std::stable_partition(order.begin(), order.end(),
                          [](const TImapSession::TFolder* f) { return IsInbox(f->name); });

    QHash<QString, QTreeWidgetItem*> items;  // by full path of each level
    for (const TImapSession::TFolder* folder : order) {
        // Shown with U+FFFD where the server's name is damaged; the URL gets
        // the name that finds the folder again.
        const QString name = QString::fromStdString(folder->name);
        const QString shown =
            QString::fromStdString(folder->display.empty() ? folder->name : folder->display);
        const QStringList parts =
            folder->delimiter != 0 ? shown.split(QChar(folder->delimiter)) : QStringList{shown};
        QTreeWidgetItem* parent = nullptr;
        QString path;
        for (qsizetype i = 0; i < parts.size(); ++i) {
            path += (i > 0 ? QString(QChar(folder->delimiter)) : QString()) + parts[i];
            QTreeWidgetItem*& item = items[path];
            if (item == nullptr) {
                item = parent != nullptr ? new QTreeWidgetItem(parent, {parts[i]})
                                         : new QTreeWidgetItem(&tree, {parts[i]});
                item->setFlags(Qt::ItemIsEnabled);
            }
            parent = item;
        }
        if (folder->selectable) {
            parent->setData(0, kFolderRole, name);
            parent->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            parent->setToolTip(0, shown);
            if (name == current) {
                tree.setCurrentItem(parent);
            }
        }
    }
    tree.expandAll();
}

QString TImapFolderTree::FolderOf(const QTreeWidgetItem* item) {
    return item != nullptr ? item->data(0, kFolderRole).toString() : QString();
}
