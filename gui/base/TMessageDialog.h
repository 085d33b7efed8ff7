#pragma once
// The program's message box: an icon by kind, the text, and one of the fixed
// button sets in Japanese. Help shows the box's topic and leaves the box open.

#include <QDialog>
#include <QDialogButtonBox>

#include "gui/base/TModalService.h"

class QPushButton;

class TMessageDialog : public QDialog {
    Q_OBJECT
  public:
    TMessageDialog(QWidget* parent, const QString& text, TMsgKind kind, TMsgButtons buttons,
                   int helpTopic);

    // The button that closed the box; the Esc answer while it is open.
    TModalResult Answer() const { return answer_; }

    static QString Title(TMsgKind kind);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

  private:
    QPushButton* AddButton(const QString& caption, TModalResult answer,
                           QDialogButtonBox::ButtonRole role);
    QPushButton* AddHelpButton();

    TModalResult answer_;
    TMsgButtons buttons_;
    int helpTopic_;
    QDialogButtonBox* buttonBox_ = nullptr;
};
