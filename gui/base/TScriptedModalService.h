#pragma once
// A modal seam for tests: records every box and dialog and answers from a
// script. Unscripted boxes get the answer Esc would give (OK, No or Cancel);
// unscripted file dialogs and folder browsers are cancelled.

#include <deque>
#include <vector>

#include "gui/base/TModalService.h"

struct TRecordedBox {
    QString text;
    TMsgKind kind;
    TMsgButtons buttons;
    int helpTopic;
};

enum class TFileDialogKind { Open, Save, Folder };

struct TRecordedFileDialog {
    TFileDialogKind kind;
    TFileRequest request;  // a folder browser fills caption and initialDir
};

class TScriptedModalService : public TModalService {
  public:
    void AnswerMessage(TModalResult answer) { messageAnswers_.push_back(answer); }
    // std::nullopt cancels the dialog.
    void AnswerFile(const std::optional<QString>& path) {
        fileAnswers_.push_back({path.has_value(), path.value_or(QString())});
    }

    const std::vector<TRecordedBox>& Boxes() const { return boxes_; }
    const std::vector<TRecordedFileDialog>& FileDialogs() const { return fileDialogs_; }
    // Scripted answers that no request has taken yet.
    int PendingAnswers() const;
    void Clear();

    TModalResult Message(QWidget* parent, const QString& text, TMsgKind kind, TMsgButtons buttons,
                         int helpTopic) override;
    std::optional<QString> OpenFile(QWidget* parent, const TFileRequest& request) override;
    std::optional<QString> SaveFile(QWidget* parent, const TFileRequest& request) override;
    std::optional<QString> BrowseFolder(QWidget* parent, const QString& caption,
                                        const QString& initialDir) override;

  private:
    std::optional<QString> NextFile(TFileDialogKind kind, const TFileRequest& request);

    std::deque<TModalResult> messageAnswers_;
    struct TFileAnswer {
        bool chosen;
        QString path;
    };
    std::deque<TFileAnswer> fileAnswers_;
    std::vector<TRecordedBox> boxes_;
    std::vector<TRecordedFileDialog> fileDialogs_;
};
