#include "gui/imap/TImapConnectDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <mutex>
#include <new>
#include <thread>

#include "base/THelpTopic.h"
#include "codeconv/TSjisUnicode.h"
#include "gui/base/THelpService.h"
#include "gui/base/THint.h"
#include "gui/base/TModalService.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"
#include "gui/imap/TImapFolderTree.h"
#include "gui/imap/TImapKeyring.h"
#include "gui/imap/TImapPasswords.h"
#include "gui/imap/TImapUrlText.h"
#include "imap/TImapSession.h"

namespace {

constexpr int HelpTopic = THelpTopic::ImapServer;

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

QString ErrorText(const std::exception& e) {
    const QString text = TQtText::FromSjis(e.what());
    return text.isEmpty() ? U("原因不明のエラーです。") : text;
}

}  // namespace

// One connection's thread and the dialog share this; the dialog lets go of
// it (receiver null) when it stops or closes, and the thread then keeps
// what it found to itself.
struct TImapConnectDialog::TListing {
    std::mutex mutex;
    TImapConnectDialog* receiver = nullptr;
    std::vector<TImapSession::TFolder> folders;
    QString error;
};

TImapConnectDialog::TImapConnectDialog(QWidget* parent, const QString& location,
                                       const QString& caFile)
    : TDialogForm(parent),
      editServer_(Named(new QLineEdit(this), "EditServer")),
      editPort_(Named(new QSpinBox(this), "EditPort")),
      comboBoxSecurity_(Named(new QComboBox(this), "ComboBoxSecurity")),
      editUser_(Named(new QLineEdit(this), "EditUser")),
      editPassword_(Named(new QLineEdit(this), "EditPassword")),
      checkBoxSave_(Named(new QCheckBox(U("パスワードを保存する(&K)"), this), "CheckBoxSave")),
      labelKeyring_(Named(new QLabel(this), "LabelKeyring")),
      editCaFile_(Named(new QLineEdit(this), "EditCaFile")),
      btnCaFile_(Named(new QPushButton(U("参照(&B)..."), this), "BtnCaFile")),
      btnConnect_(Named(new QPushButton(U("接続してフォルダを一覧(&L)"), this), "BtnConnect")),
      btnStop_(Named(new QPushButton(U("中止(&T)"), this), "BtnStop")),
      labelStatus_(Named(new QLabel(this), "LabelStatus")),
      tree_(Named(new QTreeWidget(this), "TreeFolders")),
      editFolder_(Named(new QLineEdit(this), "EditFolder")),
      btnOK_(Named(new QPushButton(QStringLiteral("OK"), this), "BtnOK")) {
    setWindowTitle(U("IMAP サーバ"));
    SetHelpContext(HelpTopic);
    editPort_->setRange(1, 65535);
    comboBoxSecurity_->addItem(U("TLS (imaps: 接続の初めから暗号化)"));
    comboBoxSecurity_->addItem(U("STARTTLS (imap: 接続してから暗号化)"));
    editPassword_->setEchoMode(QLineEdit::Password);
    labelKeyring_->setWordWrap(true);
    labelKeyring_->hide();
    labelStatus_->setWordWrap(true);
    labelStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    tree_->setHeaderHidden(true);
    btnStop_->setEnabled(false);
    btnOK_->setDefault(true);
    THint::Apply(editServer_, U("IMAP サーバの名前 (imap.example.com など)|IMAP サーバ"));
    THint::Apply(comboBoxSecurity_,
                 U("暗号化しない接続は使いません。|接続の暗号化 (TLS はポート 993、STARTTLS は "
                   "143)"));
    THint::Apply(
        checkBoxSave_,
        U("|パスワードをデスクトップのキーリングに保存する (プロジェクトには保存しません)"));
    THint::Apply(editCaFile_,
                 U("会社のサーバなど、独自の認証局の証明書 (PEM) があれば指定します。|CA ファイル "
                   "(省略可)"));
    THint::Apply(btnConnect_, U("|サーバに接続してフォルダを一覧する"));
    THint::Apply(tree_, U("変換するフォルダを選んでください。|サーバのフォルダ"));

    auto* caRow = new QHBoxLayout;
    caRow->addWidget(editCaFile_, 1);
    caRow->addWidget(btnCaFile_);
    auto* form = new QFormLayout;
    const auto row = [&](const char* text, QWidget* field) {
        auto* label = new QLabel(U(text), this);
        label->setBuddy(field);
        form->addRow(label, field);
    };
    row("サーバ(&S):", editServer_);
    row("ポート(&P):", editPort_);
    row("暗号化(&E):", comboBoxSecurity_);
    row("ユーザ名(&U):", editUser_);
    row("パスワード(&W):", editPassword_);
    form->addRow(QString(), checkBoxSave_);
    form->addRow(QString(), labelKeyring_);
    auto* labelCa = new QLabel(U("CA ファイル(&A):"), this);
    labelCa->setBuddy(editCaFile_);
    form->addRow(labelCa, caRow);

    auto* connectRow = new QHBoxLayout;
    connectRow->addWidget(btnConnect_);
    connectRow->addWidget(btnStop_);
    connectRow->addStretch(1);
    auto* labelTree = new QLabel(U("フォルダ(&F):"), this);
    labelTree->setBuddy(tree_);
    auto* folderRow = new QFormLayout;
    auto* labelFolder = new QLabel(U("変換するフォルダ(&O):"), this);
    labelFolder->setBuddy(editFolder_);
    folderRow->addRow(labelFolder, editFolder_);

    auto* btnCancel = Named(new QPushButton(U("キャンセル"), this), "BtnCancel");
    auto* btnHelp = Named(new QPushButton(U("ヘルプ(&H)"), this), "BtnHelp");
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(connectRow);
    layout->addWidget(labelStatus_);
    layout->addWidget(labelTree);
    layout->addWidget(tree_, 1);
    layout->addLayout(folderRow);
    layout->addLayout(ButtonRow({btnOK_, btnCancel, btnHelp}));
    AddStatusBar(layout);

    connect(comboBoxSecurity_, &QComboBox::currentIndexChanged, this,
            &TImapConnectDialog::SecurityChanged);
    connect(btnConnect_, &QPushButton::clicked, this, &TImapConnectDialog::ConnectClick);
    connect(btnStop_, &QPushButton::clicked, this, &TImapConnectDialog::StopClick);
    connect(btnCaFile_, &QPushButton::clicked, this, &TImapConnectDialog::BtnCaFileClick);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this,
            &TImapConnectDialog::TreeSelectionChanged);
    connect(tree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        if (!TImapFolderTree::FolderOf(item).isEmpty()) {
            BtnOKClick();
        }
    });
    connect(btnOK_, &QPushButton::clicked, this, &TImapConnectDialog::BtnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnHelp, &QPushButton::clicked, this,
            [] { THelpService::Current().ShowTopic(HelpTopic); });

    editPort_->setValue(TImapUrlText::DefaultPort(TImapUrl::TSecurity::kTls));
    editFolder_->setText(QStringLiteral("INBOX"));
    editCaFile_->setText(caFile);
    FillFrom(location);
    FixSize(QSize(440, 520));
}

TImapConnectDialog::~TImapConnectDialog() {
    StopClick();
}

void TImapConnectDialog::FillFrom(const QString& location) {
    if (!TImapUrl::IsImapUrl(Utf8(location))) {
        return;
    }
    TImapUrl url;
    try {
        url = TImapUrl::Parse(Utf8(location));
    } catch (const std::exception& e) {
        ShowStatus(ErrorText(e));
        return;
    }
    editServer_->setText(QString::fromStdString(url.host));
    comboBoxSecurity_->setCurrentIndex(url.security == TImapUrl::TSecurity::kTls ? 0 : 1);
    editPort_->setValue(url.port);
    editUser_->setText(QString::fromStdString(url.user));
    editFolder_->setText(QString::fromStdString(url.folder));
    auth_ = url.auth;
    ReadKeyring();
}

// The password kept for the account the fields name, if any.
void TImapConnectDialog::ReadKeyring() {
    if (!keyringUsable_ || editServer_->text().isEmpty() || editUser_->text().isEmpty()) {
        return;
    }
    TImapUrl url;
    url.host = Utf8(editServer_->text().trimmed());
    url.user = Utf8(editUser_->text());
    url.port = editPort_->value();
    const TImapKeyring::TRead read = TImapKeyring::Current().Read(TImapPasswords::KeyOf(url));
    if (read.found == TImapKeyring::TFound::kUnreachable) {
        keyringUsable_ = false;
        checkBoxSave_->setChecked(false);
        checkBoxSave_->setEnabled(false);
        labelKeyring_->setText(U("キーリングを使えないため、パスワードを保存できません。"
                                 "パスワードはプログラムを起動するたびに入力してください。\n") +
                               read.problem);
        labelKeyring_->show();
    } else if (read.found == TImapKeyring::TFound::kYes) {
        editPassword_->setText(read.password);
        checkBoxSave_->setChecked(true);
    }
}

void TImapConnectDialog::SecurityChanged(int index) {
    const auto now = index == 0 ? TImapUrl::TSecurity::kTls : TImapUrl::TSecurity::kStartTls;
    const auto other = index == 0 ? TImapUrl::TSecurity::kStartTls : TImapUrl::TSecurity::kTls;
    if (editPort_->value() == TImapUrlText::DefaultPort(other)) {
        editPort_->setValue(TImapUrlText::DefaultPort(now));
    }
}

std::optional<TImapUrl> TImapConnectDialog::FieldsUrl() {
    const QString server = editServer_->text().trimmed();
    if (server.isEmpty()) {
        ShowStatus(U("サーバを入力してください。"));
        editServer_->setFocus();
        return std::nullopt;
    }
    if (editUser_->text().isEmpty()) {
        ShowStatus(U("ユーザ名を入力してください。"));
        editUser_->setFocus();
        return std::nullopt;
    }
    TImapUrl url;
    url.host =
        Utf8(server.startsWith(u'[') && server.endsWith(u']') ? server.mid(1, server.size() - 2)
                                                              : server);
    url.port = editPort_->value();
    url.security = comboBoxSecurity_->currentIndex() == 0 ? TImapUrl::TSecurity::kTls
                                                          : TImapUrl::TSecurity::kStartTls;
    url.auth = auth_;
    url.user = Utf8(editUser_->text());
    const QString folder = editFolder_->text();
    url.folder = folder.isEmpty() ? std::string("INBOX") : Utf8(folder);
    // What the project will hold must read back as these fields.
    try {
        TImapUrl::Parse(Utf8(TImapUrlText::Build(url)));
    } catch (const std::exception& e) {
        ShowStatus(ErrorText(e));
        return std::nullopt;
    }
    return url;
}

void TImapConnectDialog::ConnectClick() {
    std::optional<TImapUrl> url = FieldsUrl();
    if (!url) {
        return;
    }
    if (editPassword_->text().isEmpty()) {
        ReadKeyring();
    }
    if (editPassword_->text().isEmpty()) {
        ShowStatus(U("パスワードを入力してください。"));
        editPassword_->setFocus();
        return;
    }
    StopClick();
    auto listing = std::make_shared<TListing>();
    listing->receiver = this;
    TImapAccess access;
    access.secret = Utf8(editPassword_->text());
    QString caFile = editCaFile_->text().trimmed();
    if (!caFile.isEmpty() && QDir::isRelativePath(caFile) && !projectFolder_.isEmpty()) {
        caFile = QDir(projectFolder_).filePath(caFile);
    }
    access.caFile = QFile::encodeName(caFile).toStdString();
    listing_ = listing;
    SetConnecting(true);
    ShowStatus(U("%1 に接続しています...").arg(editServer_->text().trimmed()));
    // The thread owns its share of the listing; its stop closes the
    // connection at once. A connection that ended is joined here.
    connection_ = std::jthread(
        [listing, url = *url, access = std::move(access)](const std::stop_token& stop) mutable {
            access.stop = stop;
            std::vector<TImapSession::TFolder> folders;
            QString error;
            try {
                TImapSession session(url, access);
                folders = session.ListFolders();
            } catch (const std::bad_alloc&) {
                error = U("メモリが不足しています。");
            } catch (const std::exception& e) {
                error = ErrorText(e);
            }
            const std::lock_guard lock(listing->mutex);
            if (listing->receiver != nullptr) {
                listing->folders = std::move(folders);
                listing->error = error;
                TImapConnectDialog* dialog = listing->receiver;
                QMetaObject::invokeMethod(
                    dialog, [dialog, listing] { dialog->Listed(listing); }, Qt::QueuedConnection);
            }
        });
}

void TImapConnectDialog::StopClick() {
    if (listing_ == nullptr) {
        return;
    }
    {
        const std::lock_guard lock(listing_->mutex);
        listing_->receiver = nullptr;
    }
    // The connection closes at once; the thread is joined when the dialog goes.
    connection_.request_stop();
    stopped_.push_back(std::move(connection_));
    listing_.reset();
    SetConnecting(false);
    ShowStatus(U("接続を中止しました。"));
}

void TImapConnectDialog::Listed(const std::shared_ptr<TListing>& listing) {
    if (listing != listing_) {
        return;  // a connection that was stopped
    }
    listing_.reset();
    SetConnecting(false);
    if (!listing->error.isEmpty()) {
        ShowStatus(listing->error);
    } else {
        TImapFolderTree::Fill(*tree_, listing->folders, editFolder_->text());
        ShowStatus(U("フォルダが %1 個あります。変換するフォルダを選んでください。")
                       .arg(listing->folders.size()));
        tree_->setFocus();
    }
    emit ConnectFinished();
}

void TImapConnectDialog::SetConnecting(bool connecting) {
    btnConnect_->setEnabled(!connecting);
    btnStop_->setEnabled(connecting);
    setCursor(connecting ? Qt::BusyCursor : Qt::ArrowCursor);
}

void TImapConnectDialog::TreeSelectionChanged() {
    const QString folder = TImapFolderTree::FolderOf(tree_->currentItem());
    if (!folder.isEmpty()) {
        editFolder_->setText(folder);
    }
}

void TImapConnectDialog::BtnOKClick() {
    const std::optional<TImapUrl> url = FieldsUrl();
    if (!url) {
        return;
    }
    const QString password = editPassword_->text();
    if (keyringUsable_) {
        TImapKeyring& keyring = TImapKeyring::Current();
        const QString key = TImapPasswords::KeyOf(*url);
        const QString problem =
            checkBoxSave_->isChecked() && !password.isEmpty()
                ? keyring.Write(key, password)
                : (!checkBoxSave_->isChecked() ? keyring.Remove(key) : QString());
        if (!problem.isEmpty()) {
            TModalService::Current().Message(
                this, U("パスワードをキーリングに保存できませんでした。\n") + problem,
                TMsgKind::Warning, TMsgButtons::Ok, 0);
        }
    }
    if (!password.isEmpty()) {
        TImapPasswords::Remember(*url, password);
    } else {
        TImapPasswords::Forget(*url);
    }
    url_ = TImapUrlText::Build(*url);
    caFile_ = editCaFile_->text().trimmed();
    accept();
}

void TImapConnectDialog::BtnCaFileClick() {
    TFileRequest request;
    request.caption = U("CA ファイル");
    request.filter = U("証明書(*.pem;*.crt)|*.pem;*.crt|すべてのファイル(*.*)|*.*");
    request.fileName = editCaFile_->text();
    if (std::optional<QString> file = TModalService::Current().OpenFile(this, request)) {
        editCaFile_->setText(*file);
    }
}

QString TImapConnectDialog::StatusText() const {
    return labelStatus_->text();
}

void TImapConnectDialog::ShowStatus(const QString& text) {
    labelStatus_->setText(text);
}
