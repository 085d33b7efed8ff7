#include "gui/imap/TQtImapKeyring.h"

#include <qt6keychain/keychain.h>
#include <QEventLoop>
#include <QTimer>

#include "gui/base/UiText.h"
#include "imap/TImapKeyringName.h"

namespace {

// A keyring may ask the user to unlock it; one that says nothing at all for
// this long is taken as unreachable rather than waited for without end.
constexpr int kWaitMs = 120 * 1000;

struct TOutcome {
    bool done = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QString password;
};

// Runs `job` to its end in a local event loop. A job that times out is left
// to delete itself whenever the keyring answers.
TOutcome Finish(QKeychain::Job* job, const QString& key) {
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    TOutcome outcome;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* finished) {
        outcome.done = true;
        outcome.error = finished->error();
        outcome.errorText = finished->errorString();
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished)) {
            outcome.password = read->textData();
        }
        loop.quit();
    });
    QTimer::singleShot(kWaitMs, &loop, &QEventLoop::quit);
    job->start();
    if (!outcome.done) {  // a job may end within start()
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return outcome;
}

QString Problem(const TOutcome& outcome) {
    if (!outcome.done) {
        return U("キーリングから応答がありません。");
    }
    return outcome.errorText.isEmpty() ? U("キーリングを使えません。") : outcome.errorText;
}

QString Service() {
    return QString::fromUtf8(TImapKeyringName::kService);
}

}  // namespace

TImapKeyring::TRead TQtImapKeyring::Read(const QString& key) {
    const TOutcome outcome = Finish(new QKeychain::ReadPasswordJob(Service()), key);
    TRead read;
    if (outcome.done && outcome.error == QKeychain::NoError) {
        read.found = TFound::kYes;
        read.password = outcome.password;
    } else if (outcome.done && outcome.error == QKeychain::EntryNotFound) {
        read.found = TFound::kNo;
    } else {
        read.found = TFound::kUnreachable;
        read.problem = Problem(outcome);
    }
    return read;
}

QString TQtImapKeyring::Write(const QString& key, const QString& password) {
    auto* job = new QKeychain::WritePasswordJob(Service());
    job->setTextData(password);
    const TOutcome outcome = Finish(job, key);
    return outcome.done && outcome.error == QKeychain::NoError ? QString() : Problem(outcome);
}

QString TQtImapKeyring::Remove(const QString& key) {
    const TOutcome outcome = Finish(new QKeychain::DeletePasswordJob(Service()), key);
    return outcome.done && (outcome.error == QKeychain::NoError ||
                            outcome.error == QKeychain::EntryNotFound)
               ? QString()
               : Problem(outcome);
}
