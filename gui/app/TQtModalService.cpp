#include "gui/app/TQtModalService.h"

#include <QFileDialog>

#include "gui/app/TFileFilter.h"
#include "gui/app/TMessageDialog.h"

namespace {

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
