#include "gui/params/TRegexCheck.h"

#include "base/TKestrifyError.h"
#include "gui/base/TModalService.h"
#include "gui/base/TQtText.h"
#include "regex/TJre.h"

QString TRegexCheck::Problem(const std::string& sjisPattern, const QString& title,
                             bool* engineFailed) {
    if (engineFailed != nullptr) {
        *engineFailed = false;
    }
    // The engine's compile answers false for the empty pattern, which is
    // still a valid one.
    if (sjisPattern.empty()) {
        return QString();
    }
    std::string error;
    try {
        if (TJre::Instance().Compile(sjisPattern, &error)) {
            return QString();
        }
    } catch (const TKestrifyError& e) {
        if (engineFailed != nullptr) {
            *engineFailed = true;
        }
        return QString::fromUtf8("jre32.dllエラー\n") + TQtText::FromSjis(e.what());
    }
    return title + u'\n' + TQtText::FromSjis(error);
}

bool TRegexCheck::Compile(QWidget* parent, const std::string& sjisPattern, const QString& title) {
    bool engineFailed = false;
    const QString problem = Problem(sjisPattern, title, &engineFailed);
    if (problem.isEmpty()) {
        return true;
    }
    TModalService::Current().Message(parent, problem, TMsgKind::Warning,
                                     engineFailed ? TMsgButtons::OkHelp : TMsgButtons::Ok, 0);
    return false;
}
