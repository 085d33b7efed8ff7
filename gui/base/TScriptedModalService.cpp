#include "gui/base/TScriptedModalService.h"

int TScriptedModalService::PendingAnswers() const {
    return static_cast<int>(messageAnswers_.size() + fileAnswers_.size());
}

void TScriptedModalService::Clear() {
    messageAnswers_.clear();
    fileAnswers_.clear();
    boxes_.clear();
    fileDialogs_.clear();
}

TModalResult TScriptedModalService::Message(QWidget* /*parent*/, const QString& text, TMsgKind kind,
                                            TMsgButtons buttons, int helpTopic) {
    boxes_.push_back({text, kind, buttons, helpTopic});
    if (messageAnswers_.empty()) {
        return EscapeAnswer(buttons);
    }
    const TModalResult answer = messageAnswers_.front();
    messageAnswers_.pop_front();
    return answer;
}

std::optional<QString> TScriptedModalService::OpenFile(QWidget* /*parent*/,
                                                       const TFileRequest& request) {
    return NextFile(TFileDialogKind::Open, request);
}

std::optional<QString> TScriptedModalService::SaveFile(QWidget* /*parent*/,
                                                       const TFileRequest& request) {
    return NextFile(TFileDialogKind::Save, request);
}

std::optional<QString> TScriptedModalService::BrowseFolder(QWidget* /*parent*/,
                                                           const QString& caption,
                                                           const QString& initialDir) {
    TFileRequest request;
    request.caption = caption;
    request.initialDir = initialDir;
    return NextFile(TFileDialogKind::Folder, request);
}

std::optional<QString> TScriptedModalService::NextFile(TFileDialogKind kind,
                                                       const TFileRequest& request) {
    fileDialogs_.push_back({kind, request});
    if (fileAnswers_.empty()) {
        return std::nullopt;
    }
    const TFileAnswer answer = fileAnswers_.front();
    fileAnswers_.pop_front();
    if (!answer.chosen) {
        return std::nullopt;
    }
    return answer.path;
}
