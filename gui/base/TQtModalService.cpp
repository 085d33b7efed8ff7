#include "gui/base/TQtModalService.h"

#include <QFileDialog>

#include "gui/base/TFileFilter.h"
#include "gui/base/TMessageDialog.h"

namespace {

// "xlsx" of a Qt filter "Excel ブック (*.xlsx)": one pattern of one
// extension; empty for any other filter.
QString SuffixOf(const QString& nameFilter) {
    const qsizetype open = nameFilter.lastIndexOf(QStringLiteral("(*."));
    if (open < 0 || !nameFilter.endsWith(u')')) {
        return {};
    }
    const QString suffix = nameFilter.mid(open + 3, nameFilter.size() - open - 4);
    return suffix.contains(u' ') || suffix.contains(u'*') || suffix.contains(u';') ? QString()
                                                                                   : suffix;
}

// A name typed without extension gets the chosen filter's extension (CSV or
// workbook), or the request's own under any other filter; the filter that
// matches the proposed name is chosen first.
void FollowFilterSuffix(QFileDialog& dialog, const QStringList& filters, const QString& suffix,
                        const QString& fileName) {
    if (suffix.isEmpty()) {
        return;
    }
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, suffix](const QString& filter) {
                         const QString own = SuffixOf(filter);
                         dialog.setDefaultSuffix(own.isEmpty() ? suffix : own);
                     });
    for (const QString& filter : filters) {
        const QString own = SuffixOf(filter);
        if (!own.isEmpty() && fileName.endsWith(u'.' + own, Qt::CaseInsensitive)) {
            dialog.selectNameFilter(filter);
            dialog.setDefaultSuffix(own);
        }
    }
}

std::optional<QString> RunFileDialog(QWidget* parent, const TFileRequest& request,
                                     QFileDialog::AcceptMode mode) {
    QFileDialog dialog(parent, request.caption, request.initialDir);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    // The callers ask their own overwrite question.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    const QStringList filters = TFileFilter::ToQt(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    QString suffix = request.defaultExt;
    if (suffix.startsWith(u'.')) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    FollowFilterSuffix(dialog, filters, suffix, request.fileName);
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

TModalResult TQtModalService::Message(QWidget* parent, const QString& text, TMsgKind kind,
                                      TMsgButtons buttons, int helpTopic) {
    TMessageDialog box(parent, text, kind, buttons, helpTopic);
    box.exec();
    return box.Answer();
}

std::optional<QString> TQtModalService::OpenFile(QWidget* parent, const TFileRequest& request) {
    return RunFileDialog(parent, request, QFileDialog::AcceptOpen);
}

std::optional<QString> TQtModalService::SaveFile(QWidget* parent, const TFileRequest& request) {
    return RunFileDialog(parent, request, QFileDialog::AcceptSave);
}

std::optional<QString> TQtModalService::BrowseFolder(QWidget* parent, const QString& caption,
                                                     const QString& initialDir) {
    const QString folder = QFileDialog::getExistingDirectory(parent, caption, initialDir);
    if (folder.isEmpty()) {
        return std::nullopt;
    }
    return folder;
}
