#include "gui/imap/TImapPasswords.h"

#include <QHash>
#include <algorithm>
#include <cstdlib>

#include "base/TKestrifyError.h"
#include "gui/base/TModalService.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"
#include "gui/imap/TImapKeyring.h"
#include "gui/imap/TImapPasswordDialog.h"
#include "imap/TImapAccess.h"
#include "imap/TImapKeyringName.h"

namespace {

QHash<QString, QString>& Session() {
    static QHash<QString, QString> passwords;
    return passwords;
}

std::string Utf8(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

QString TImapPasswords::KeyOf(const TImapUrl& url) {
    return QString::fromStdString(TImapKeyringName::Key(url.user, url.host, url.port));
}

std::optional<std::string> TImapPasswords::ForDesktop(QWidget* parent, const TImapUrl& url) {
    const QString key = KeyOf(url);
    if (const auto known = Session().constFind(key); known != Session().constEnd()) {
        return Utf8(*known);
    }
    TImapKeyring& keyring = TImapKeyring::Current();
    const TImapKeyring::TRead read = keyring.Read(key);
    if (read.found == TImapKeyring::TFound::kYes && !read.password.isEmpty()) {
        return Utf8(read.password);
    }
    TImapPasswordDialog dialog(
        parent, url, read.found == TImapKeyring::TFound::kUnreachable ? read.problem : QString());
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QString password = dialog.Password();
    if (dialog.SaveInKeyring()) {
        if (const QString problem = keyring.Write(key, password); !problem.isEmpty()) {
            TModalService::Current().Message(
                parent, U("パスワードをキーリングに保存できませんでした。\n") + problem,
                TMsgKind::Warning, TMsgButtons::Ok, 0);
        }
    }
    Session().insert(key, password);
    return Utf8(password);
}

std::string TImapPasswords::ForAutomaticRun(const TImapUrl& url) {
    const TImapKeyring::TRead read = TImapKeyring::Current().Read(KeyOf(url));
    if (read.found == TImapKeyring::TFound::kYes && !read.password.isEmpty()) {
        return Utf8(read.password);
    }
    if (const char* value = std::getenv(TImapAccess::kPasswordVariable);
        value != nullptr && *value != '\0') {
        std::string secret = value;
        secret.resize(std::min(secret.size(), secret.find_first_of("\r\n")));  // its first line
        return secret;
    }
    QString text = U("IMAP のパスワードがありません。キーリングに保存するか (メールの場所の"
                     "[参照]で「パスワードを保存する」)、環境変数 ") +
                   QString::fromLatin1(TImapAccess::kPasswordVariable) + U(" に入れてください。");
    if (read.found == TImapKeyring::TFound::kUnreachable) {
        text += U("\nキーリングを使えません: ") + read.problem;
    }
    throw TKestrifyError(TQtText::ToSjis(text));
}

void TImapPasswords::Remember(const TImapUrl& url, const QString& password) {
    Session().insert(KeyOf(url), password);
}

void TImapPasswords::Forget(const TImapUrl& url) {
    Session().remove(KeyOf(url));
}

void TImapPasswords::Forget(const std::string& sjisLocation) {
    try {
        Forget(TImapUrl::Parse(TQtText::FromSjis(sjisLocation).toStdString()));
    } catch (const TKestrifyError&) {
        // no account to forget
    }
}
