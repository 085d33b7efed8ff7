#include "gui/imap/TImapPasswordDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "base/THelpTopic.h"
#include "gui/base/UiText.h"

namespace {

constexpr int HelpTopic = THelpTopic::ImapServer;

}  // namespace

TImapPasswordDialog::TImapPasswordDialog(QWidget* parent, const TImapUrl& url,
                                         const QString& keyringProblem)
    : TDialogForm(parent),
      editPassword_(Named(new QLineEdit(this), "EditPassword")),
      checkBoxSave_(Named(new QCheckBox(U("パスワードを保存する(&K)"), this), "CheckBoxSave")),
      btnOK_(Named(new QPushButton(QStringLiteral("OK"), this), "BtnOK")),
      labelFailed_(Named(new QLabel(U("前回は接続できませんでした。キーリングのパスワードが"
                                      "正しいか確かめてください。"),
                                    this),
                         "LabelFailed")) {
    const bool token = url.auth == TImapUrl::TAuth::kXOAuth2;
    setWindowTitle(token ? U("IMAP のアクセストークン") : U("IMAP のパスワード"));
    SetHelpContext(HelpTopic);
    auto* label =
        new QLabel((token ? U("%1 (%2) のアクセストークンを入力してください(&P):")
                          : U("%1 (%2) のパスワードを入力してください(&P):"))
                       .arg(QString::fromStdString(url.user), QString::fromStdString(url.host)),
                   this);
    label->setWordWrap(true);
    label->setBuddy(editPassword_);
    editPassword_->setEchoMode(QLineEdit::Password);
    auto* btnCancel = Named(new QPushButton(U("キャンセル"), this), "BtnCancel");
    btnOK_->setDefault(true);
    btnOK_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    labelFailed_->setWordWrap(true);
    labelFailed_->hide();
    layout->addWidget(labelFailed_);
    layout->addWidget(label);
    layout->addWidget(editPassword_);
    layout->addWidget(checkBoxSave_);
    if (!keyringProblem.isEmpty()) {
        checkBoxSave_->setEnabled(false);
        auto* note =
            Named(new QLabel(U("キーリングを使えないため、パスワードを保存できません。"
                               "パスワードはプログラムを起動するたびに入力してください。\n") +
                                 keyringProblem,
                             this),
                  "LabelKeyring");
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    layout->addStretch(1);
    layout->addLayout(ButtonRow({btnOK_, btnCancel}));
    AddStatusBar(layout);

    connect(editPassword_, &QLineEdit::textChanged, this,
            [this](const QString& text) { btnOK_->setEnabled(!text.isEmpty()); });
    connect(btnOK_, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    FixSize(QSize(360, 150));
}

void TImapPasswordDialog::SetKept(const QString& password) {
    editPassword_->setText(password);
    editPassword_->selectAll();
    checkBoxSave_->setChecked(checkBoxSave_->isEnabled());
    labelFailed_->show();
}

QString TImapPasswordDialog::Password() const {
    return editPassword_->text();
}

bool TImapPasswordDialog::SaveInKeyring() const {
    return checkBoxSave_->isEnabled() && checkBoxSave_->isChecked();
}
