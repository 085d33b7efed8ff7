#pragma once
// Asks for the password of one IMAP account, with "パスワードを保存する"
// when the keyring can keep it; when the keyring is unreachable it says so
// and the password is asked for each time.

#include "gui/base/TDialogForm.h"
#include "imap/TImapUrl.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TImapPasswordDialog : public TDialogForm {
    Q_OBJECT
  public:
    // `keyringProblem`: why the keyring cannot be used, empty when it can.
    TImapPasswordDialog(QWidget* parent, const TImapUrl& url, const QString& keyringProblem);

    // After a failure: the keyring's password, to be kept or replaced
    // ("パスワードを保存する" ticked, so a new one replaces it there).
    void SetKept(const QString& password);

    QString Password() const;
    bool SaveInKeyring() const;

  private:
    QLineEdit* editPassword_;
    QCheckBox* checkBoxSave_;
    QPushButton* btnOK_;
    QLabel* labelFailed_;
};
