#pragma once
// Where an IMAP store is: server, port, security (TLS from the start or
// STARTTLS; there is no plain connection), user, password (kept in the
// desktop keyring when "パスワードを保存する" is ticked), an optional CA file,
// and the folder, picked from the tree the server lists when "接続" connects.
// Connecting runs on a thread of its own: the dialog keeps answering and
// "中止" closes the connection at once. OK gives the IMAP URL for the mail
// location and the CA file for the project.

#include <QString>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "gui/base/TDialogForm.h"
#include "imap/TImapUrl.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;

class TImapConnectDialog : public TDialogForm {
    Q_OBJECT
  public:
    // `location`: the mail location as it stands (an IMAP URL fills the
    // fields); `caFile`: the project's CA file.
    TImapConnectDialog(QWidget* parent, const QString& location, const QString& caFile);
    ~TImapConnectDialog() override;

    // Once accepted.
    QString Url() const { return url_; }
    QString CaFile() const { return caFile_; }

    // Where a relative CA file is counted from when connecting (the
    // project's folder); none: the working folder.
    void SetProjectFolder(const QString& folder) { projectFolder_ = folder; }

    QTreeWidget* Tree() const { return tree_; }
    bool Connecting() const { return listing_ != nullptr; }
    QString StatusText() const;

  signals:
    // A connection ended: the folders are in the tree, or the status says why not.
    void ConnectFinished();

  private:
    struct TListing;

    void FillFrom(const QString& location);
    void ReadKeyring();
    // The fields as a URL (the folder field's folder, INBOX when empty), or
    // nothing with the status saying what is missing.
    std::optional<TImapUrl> FieldsUrl();
    void SecurityChanged(int index);
    void ConnectClick();
    void StopClick();
    void Listed(const std::shared_ptr<TListing>& listing);
    void SetConnecting(bool connecting);
    void TreeSelectionChanged();
    void BtnOKClick();
    void BtnCaFileClick();
    void ShowStatus(const QString& text);

    QLineEdit* editServer_;
    QSpinBox* editPort_;
    QComboBox* comboBoxSecurity_;
    QLineEdit* editUser_;
    QLineEdit* editPassword_;
    QCheckBox* checkBoxSave_;
    QLabel* labelKeyring_;
    QLineEdit* editCaFile_;
    QPushButton* btnCaFile_;
    QPushButton* btnConnect_;
    QPushButton* btnStop_;
    QLabel* labelStatus_;
    QTreeWidget* tree_;
    QLineEdit* editFolder_;
    QPushButton* btnOK_;

    TImapUrl::TAuth auth_ = TImapUrl::TAuth::kPassword;  // kept from the URL it was opened on
    bool keyringUsable_ = true;
    std::shared_ptr<TListing> listing_;  // the connection under way
    std::jthread connection_;            // its thread, or the last one's
    std::vector<std::jthread> stopped_;  // stopped connections, closing
    QString url_;
    QString caFile_;
    QString projectFolder_;
};
