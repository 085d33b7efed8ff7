#include "gui/app/TThunderbirdFolderDialog.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "gui/base/THint.h"
#include "gui/base/TModalService.h"
#include "gui/base/UiText.h"

namespace {

constexpr int PathRole = Qt::UserRole;

QString PathText(const std::filesystem::path& path) {
    return QString::fromStdString(path.string());
}

}  // namespace

TThunderbirdFolderDialog::TThunderbirdFolderDialog(QWidget* parent,
                                                   const std::filesystem::path& home,
                                                   const QString& current)
    : TDialogForm(parent),
      tree_(Named(new QTreeWidget(this), "TreeFolders")),
      label_(new QLabel(this)),
      btnOK_(Named(new QPushButton(QStringLiteral("OK"), this), "BtnOK")),
      btnCancel_(Named(new QPushButton(U("キャンセル"), this), "BtnCancel")),
      btnFile_(Named(new QPushButton(U("ファイルから選ぶ(&F)..."), this), "BtnFile")) {
    setWindowTitle(U("Thunderbirdのフォルダ"));
    SetHelpContext(THelpTopic::ThunderbirdFolder);
    tree_->setHeaderHidden(true);
    tree_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    THint::Apply(tree_, U("変換するフォルダを選んでください。|変換するThunderbirdのフォルダ"));
    THint::Apply(btnFile_, U("|プロファイルの外のフォルダのファイルをファイルの選択で指定する"));
    btnOK_->setDefault(true);
    btnOK_->setEnabled(false);

    const std::vector<TThunderbirdProfiles::TProfile> profiles = TThunderbirdProfiles::Find(home);
    for (const TThunderbirdProfiles::TProfile& profile : profiles) {
        auto* profileItem =
            new QTreeWidgetItem(tree_, {U("プロファイル ") + QString::fromStdString(profile.name)});
        profileItem->setToolTip(0, PathText(profile.folder));
        profileItem->setFlags(Qt::ItemIsEnabled);
        for (const TThunderbirdProfiles::TAccount& account : profile.accounts) {
            auto* accountItem =
                new QTreeWidgetItem(profileItem, {QString::fromStdString(account.name)});
            accountItem->setToolTip(0, PathText(account.folder));
            accountItem->setFlags(Qt::ItemIsEnabled);
            AddFolders(accountItem, account.folders, current);
        }
    }
    tree_->expandToDepth(1);
    label_->setText(profiles.empty() ? U("Thunderbird のプロファイルが見つかりませんでした。")
                                     : U("変換するフォルダを選んでください(&T):"));
    label_->setBuddy(tree_);
    label_->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(tree_, 1);
    layout->addLayout(ButtonRow({btnFile_, btnOK_, btnCancel_}));
    AddStatusBar(layout);

    connect(tree_, &QTreeWidget::itemSelectionChanged, this,
            &TThunderbirdFolderDialog::SelectionChanged);
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (!item->data(0, PathRole).toString().isEmpty()) {
            BtnOKClick();
        }
    });
    connect(btnOK_, &QPushButton::clicked, this, &TThunderbirdFolderDialog::BtnOKClick);
    connect(btnCancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnFile_, &QPushButton::clicked, this, &TThunderbirdFolderDialog::BtnFileClick);
    SelectionChanged();
    FixSize(QSize(420, 380));
}

void TThunderbirdFolderDialog::AddFolders(QTreeWidgetItem* parent,
                                          const std::vector<TThunderbirdProfiles::TFolder>& folders,
                                          const QString& current) {
    for (const TThunderbirdProfiles::TFolder& folder : folders) {
        auto* item = new QTreeWidgetItem(parent, {QString::fromStdString(folder.name)});
        if (folder.file.empty()) {
            item->setFlags(Qt::ItemIsEnabled);
        } else {
            const QString path = PathText(folder.file);
            item->setData(0, PathRole, path);
            item->setToolTip(0, path);
            if (path == current) {
                tree_->setCurrentItem(item);
            }
        }
        AddFolders(item, folder.children, current);
    }
}

void TThunderbirdFolderDialog::SelectionChanged() {
    const QTreeWidgetItem* item = tree_->currentItem();
    btnOK_->setEnabled(item != nullptr && item->isSelected() &&
                       !item->data(0, PathRole).toString().isEmpty());
}

void TThunderbirdFolderDialog::BtnOKClick() {
    const QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item->data(0, PathRole).toString().isEmpty()) {
        return;
    }
    selected_ = item->data(0, PathRole).toString();
    accept();
}

void TThunderbirdFolderDialog::BtnFileClick() {
    TFileRequest request;
    request.caption = U("Thunderbirdのフォルダのファイル");
    request.filter = U("すべてのファイル(*.*)|*.*");
    if (std::optional<QString> file = TModalService::Current().OpenFile(this, request)) {
        selected_ = *file;
        accept();
    }
}
