#include "gui/imap/TImapPasswords.h"

#include <QHash>
#include <QSet>
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

// Accounts whose store could not be opened with the password they had.
QSet<QString>& Failed() {
    static QSet<QString> keys;
    return keys;
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
    const bool kept = read.found == TImapKeyring::TFound::kYes && !read.password.isEmpty();
    const bool failed = Failed().contains(key);
    if (kept && !failed) {
        return Utf8(read.password);
    }
    // After a failure the kept password is shown to be checked or replaced.
    TImapPasswordDialog dialog(
        parent, url, read.found == TImapKeyring::TFound::kUnreachable ? read.problem : QString());
    if (kept) {
        dialog.SetKept(read.password);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    Failed().remove(key);
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
    Failed().remove(KeyOf(url));
}

void TImapPasswords::Forget(const TImapUrl& url) {
    Session().remove(KeyOf(url));
    Failed().remove(KeyOf(url));
}

void TImapPasswords::OpenFailed(const std::string& sjisLocation) {
    try {
        const TImapUrl url = TImapUrl::Parse(TQtText::FromSjis(sjisLocation).toStdString());
        Forget(url);
        Failed().insert(KeyOf(url));
    } catch (const TKestrifyError&) {
        // no account
    }
}
