// The desktop application:
//   kestrify                    interactive start
//   kestrify [--] PROJECT       interactive start with that project
//   kestrify -a [--] PROJECT CSV SAVETYPE [BACKUP]
//                               automatic run: converts PROJECT, saves the CSV
//                               and ends; the exit status tells how it went.
//                               Without a display it runs without windows and
//                               every message goes to standard error.
//   kestrify --version          prints the version (no window, no display needed)

#include <QApplication>
#include <QFile>
#include <QSemaphore>
#include <QThreadPool>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <utility>

#include <unistd.h>

#include "convert/TExitStatus.h"
#include "gui/app/TFormMain.h"
#include "gui/base/TAppLook.h"
#include "gui/base/TProgramEnd.h"
#include "gui/base/TQtModalService.h"
#include "gui/base/TQtText.h"
#include "gui/base/TScriptedModalService.h"
#include "gui/base/TTranslations.h"
#include "gui/help/TBuiltInHelpService.h"
#include "gui/imap/TQtImapKeyring.h"
#include "gui/settings/TAppIni.h"
#include "gui/settings/TkKestrifyInfo.h"

namespace {

const char* const OutOfMemoryMessage = "メモリが不足しています。";

void PrintMessage(const QString& text) {
    std::fprintf(stderr, "kestrify: %s\n", text.toUtf8().constData());
    std::fflush(stderr);
}

// An automatic run's boxes also go to standard error, for its log. Without
// a display (or for tests: KESTRIFY_TEST_ANSWER_BOXES=1) nobody is there to
// answer: every box is answered as Esc would answer it, every file dialog
// is cancelled, so the run never waits.
class TLoggingModalService : public TModalService {
  public:
    explicit TLoggingModalService(bool answerAlone) : answerAlone_(answerAlone) {}

    TModalResult Message(QWidget* parent, const QString& text, TMsgKind kind, TMsgButtons buttons,
                         int helpTopic) override {
        PrintMessage(text);
        return Inner().Message(parent, text, kind, buttons, helpTopic);
    }
    std::optional<QString> OpenFile(QWidget* parent, const TFileRequest& request) override {
        return Inner().OpenFile(parent, request);
    }
    std::optional<QString> SaveFile(QWidget* parent, const TFileRequest& request) override {
        return Inner().SaveFile(parent, request);
    }
    std::optional<QString> BrowseFolder(QWidget* parent, const QString& caption,
                                        const QString& initialDir) override {
        return Inner().BrowseFolder(parent, caption, initialDir);
    }

  private:
    TModalService& Inner() {
        if (answerAlone_) {
            return answering_;
        }
        return dialogs_;
    }

    bool answerAlone_;
    TScriptedModalService answering_;
    TQtModalService dialogs_;
};

// Nothing an event handler throws may unwind through Qt: a dialog whose
// exec() was unwound crashes when it is destroyed. The program ends instead,
// as after a stop signal (every loop returns, the windows close, temporary
// files go): out of memory (also a thread that could not be made) with the
// memory message and status 4, anything else with its message and status 2.
class TKestrifyApplication : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            EndAfter(std::current_exception());
            return false;
        }
    }

  private:
    static void EndAfter(const std::exception_ptr& error) {
        if (TProgramEnd::Requested()) {
            return;
        }
        if (TProgramEnd::IsOutOfMemory(error)) {
            // Written as it is: making a text could need the memory that ran out.
            static const char message[] = "kestrify: メモリが不足しています。\n";
            [[maybe_unused]] const ssize_t written =
                ::write(STDERR_FILENO, message, sizeof message - 1);
            TProgramEnd::Request(TExitStatus::OutOfMemory);
            return;
        }
        // Told before the end is asked for: a box shown after it would not
        // wait. A failure to tell leaves the status to tell it.
        static bool telling = false;
        if (!std::exchange(telling, true)) {
            try {
                try {
                    std::rethrow_exception(error);
                } catch (const std::exception& e) {
                    TModalService::Current().Message(nullptr, TQtText::FromSjis(e.what()),
                                                     TMsgKind::Error, TMsgButtons::Ok, 0);
                }
            } catch (...) {
            }
        }
        TProgramEnd::Request(TExitStatus::BadInput);
    }
};

// Qt paints a large area in parts on QThreadPool::globalInstance() and waits
// for every part; a part whose thread cannot be created (memory running out
// under a limit) never runs, and the window's thread waits for ever. So the
// pool's few threads, with small stacks, are made at the start while memory
// is there, and kept: later parts never need a new thread.
void KeepPaintThreads() {
    constexpr int kMaxThreads = 4;
    constexpr uint kStackBytes = 1024 * 1024;
    QThreadPool* pool = QThreadPool::globalInstance();
    pool->setMaxThreadCount(std::clamp(pool->maxThreadCount(), 1, kMaxThreads));
    pool->setStackSize(kStackBytes);
    pool->setExpiryTimeout(-1);
    // Each task waits until all have started, so each gets a thread of its own.
    const int count = pool->maxThreadCount();
    auto started = std::make_shared<QSemaphore>();
    auto go = std::make_shared<QSemaphore>();
    for (int i = 0; i < count; ++i) {
        pool->start([started, go] {
            started->release();
            go->acquire();
        });
    }
    // A thread that could not be made even now is not waited for.
    started->tryAcquire(count, 2000);
    go->release(count);
}

// A platform named in QT_QPA_PLATFORM decides: offscreen and minimal show
// nothing to anyone, so a box there would wait for ever.
bool HasDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty()) {
        return !platform.startsWith("offscreen") && !platform.startsWith("minimal");
    }
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kestrify %s\n", TkKestrifyInfo::Version().toUtf8().constData());
        return 0;
    }
    // An automatic run's arguments (and those after "--") are the program's
    // alone: Qt never sees them, so a CSV named "-style" or "-reverse" is a
    // file name, not an option of Qt.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QFile::decodeName(argv[i]));
    }
    const bool automatic = arguments.value(0) == QLatin1String("-a");
    const bool ownArguments = automatic || arguments.value(0) == QLatin1String("--");
    // cron, ssh, a service: the run goes on without windows.
    const bool headless = automatic && !HasDisplay();
    if (headless && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    int qtArgc = ownArguments ? 1 : argc;
    TKestrifyApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrify"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrify"));
    QApplication::setWindowIcon(TkKestrifyInfo::ProgramIcon());
    if (!ownArguments) {
        arguments = QApplication::arguments().mid(1);  // without the options Qt took
    }
    TTranslations::Load();
    TAppLook::Apply();
    TProgramEnd::InstallSignalHandlers();
    KeepPaintThreads();

    // The windows' boxes and dialogs are Qt's, the passwords the desktop's
    // keyring's (below them, only their interfaces are known).
    TQtModalService dialogs;
    TModalServiceScope dialogsScope(dialogs);
    TQtImapKeyring keyring;
    TImapKeyringScope keyringScope(keyring);

    TLoggingModalService logging(headless ||
                                 !qEnvironmentVariableIsEmpty("KESTRIFY_TEST_ANSWER_BOXES"));
    std::optional<TModalServiceScope> loggingScope;
    if (automatic || !qEnvironmentVariableIsEmpty("KESTRIFY_TEST_ANSWER_BOXES")) {
        loggingScope.emplace(logging);
    }

    TBuiltInHelpService help;
    THelpServiceScope helpScope(help);

    int status = 0;
    try {
        TFormMain form(TAppIni::Instance(), arguments);
        // Help windows may stay open; closing the main window ends the program.
        QApplication::setQuitOnLastWindowClosed(false);
        QObject::connect(&form, &TFormMain::Closed, &app,
                         [&form] { QCoreApplication::exit(form.ExitStatus()); });
        if (!TProgramEnd::Requested()) {
            form.show();
            status = QApplication::exec();
        }
    } catch (const std::bad_alloc&) {
        PrintMessage(QString::fromUtf8(OutOfMemoryMessage));
        status = TExitStatus::OutOfMemory;
    } catch (const std::exception& e) {
        TModalService::Current().Message(nullptr, TQtText::FromSjis(e.what()), TMsgKind::Error,
                                         TMsgButtons::Ok, 0);
        status = TExitStatus::BadInput;
    }
    if (TProgramEnd::Requested()) {
        // A stop signal or memory that ran out: the settings stay as they were.
        return TProgramEnd::Status();
    }
    // Writes the settings, when their file exists.
    TAppIni::ReleaseInstance();
    return status;
}
