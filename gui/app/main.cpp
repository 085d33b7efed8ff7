// The desktop application:
//   kestrify                    interactive start
//   kestrify PROJECT            interactive start with that project
//   kestrify -a PROJECT CSV SAVETYPE [BACKUP]
//                               automatic run: converts PROJECT, saves the CSV
//                               and ends; the exit status tells how it went.
//   kestrify --version          prints the version (no window, no display needed)

#include <QApplication>
#include <cstdio>
#include <cstring>

#include "convert/TExitStatus.h"
#include "gui/app/TFormMain.h"
#include "gui/base/TAppLook.h"
#include "gui/base/TQtText.h"
#include "gui/base/TScriptedModalService.h"
#include "gui/help/TBuiltInHelpService.h"
#include "gui/settings/TAppIni.h"
#include "gui/settings/TkKestrifyInfo.h"

namespace {

// KESTRIFY_TEST_ANSWER_BOXES=1, set only by tests of the executable: every
// message box is written to standard error and answered as Esc would answer
// it, every file dialog is cancelled, so an unattended run never waits.
class TAnsweringModalService : public TScriptedModalService {
  public:
    TModalResult Message(QWidget* parent, const QString& text, TMsgKind kind, TMsgButtons buttons,
                         int helpTopic) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return TScriptedModalService::Message(parent, text, kind, buttons, helpTopic);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kestrify %s\n", TkKestrifyInfo::Version().toUtf8().constData());
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrify"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kestrify"));
    QApplication::setWindowIcon(TkKestrifyInfo::ProgramIcon());
    TAppLook::Apply();

    TAnsweringModalService answering;
    std::optional<TModalServiceScope> testScope;
    if (!qEnvironmentVariableIsEmpty("KESTRIFY_TEST_ANSWER_BOXES")) {
        testScope.emplace(answering);
    }

    TBuiltInHelpService help;
    THelpServiceScope helpScope(help);

    try {
        TFormMain form(TAppIni::Instance(), QApplication::arguments().mid(1));
        // Help windows may stay open; closing the main window ends the program.
        QApplication::setQuitOnLastWindowClosed(false);
        QObject::connect(&form, &TFormMain::Closed, &app,
                         [&form] { QCoreApplication::exit(form.ExitStatus()); });
        form.show();
        const int status = QApplication::exec();
        // Writes the settings, when their file exists.
        TAppIni::ReleaseInstance();
        return status;
    } catch (const std::exception& e) {
        TModalService::Current().Message(nullptr, TQtText::FromSjis(e.what()), TMsgKind::Error,
                                         TMsgButtons::Ok, 0);
        return TExitStatus::BadInput;
    }
}
