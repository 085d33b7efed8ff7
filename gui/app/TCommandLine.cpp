#include "gui/app/TCommandLine.h"

#include "gui/base/TQtText.h"
#include "settings/TIniDocument.h"

TCommandLine::TCommandLine(const QStringList& given) {
    QStringList arguments = given;
    const QLatin1String endOfOptions("--");
    if (arguments.value(0) == endOfOptions) {
        // Whatever follows is a name: a project called "-a" opens as one.
        arguments.removeFirst();
        if (!arguments.isEmpty()) {
            projectArgument_ = arguments.constFirst();
        }
        return;
    }
    if (arguments.isEmpty()) {
        return;
    }
    if (arguments.constFirst() != QLatin1String("-a")) {
        projectArgument_ = arguments.constFirst();
        return;
    }
    if (arguments.value(1) == endOfOptions) {
        arguments.removeAt(1);  // "-a -- PROJECT CSV ...": names that may start with "-"
    }
    const auto argument = [&](int i) { return i < arguments.size() ? arguments.at(i) : QString(); };
    const std::optional<int> saveType = TIniDocument::ParseInteger(TQtText::ToSjis(argument(3)));
    if (!saveType) {
        return;
    }
    autoRun_ = std::make_unique<TAutoExexParam>();
    autoRun_->SetParamFile(TQtText::ToSjis(argument(1)));
    autoRun_->SetCsvFile(TQtText::ToSjis(argument(2)));
    autoRun_->SetSaveType(*saveType);
    autoRun_->SetMakeBackup(argument(4) != QLatin1String("0"));
    if (argument(5) == QLatin1String("--only-new") || argument(5) == QLatin1String("--all")) {
        autoRun_->SetOnlyNew(argument(5) == QLatin1String("--only-new"));
    }
}
