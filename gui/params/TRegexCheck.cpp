#include "gui/params/TRegexCheck.h"

#include "base/TKestrifyError.h"
#include "gui/app/TModalService.h"
#include "gui/app/TQtText.h"
#include "regex/TJre.h"

bool TRegexCheck::Compile(QWidget* parent, const std::string& sjisPattern, const QString& title) {
    // The engine's compile answers false for the empty pattern, which is
    // still a valid one.
    if (sjisPattern.empty()) {
        return true;
    }
    std::string error;
    try {
        if (TJre::Instance().Compile(sjisPattern, &error)) {
            return true;
        }
    } catch (const TKestrifyError& e) {
        TModalService::Current().Message(
            parent, QString::fromUtf8("jre32.dllエラー\n") + TQtText::FromSjis(e.what()),
            TMsgKind::Warning, TMsgButtons::OkHelp, 0);
        return false;
    }
    TModalService::Current().Message(parent, title + u'\n' + TQtText::FromSjis(error),
                                     TMsgKind::Warning, TMsgButtons::Ok, 0);
    return false;
}
