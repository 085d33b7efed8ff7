#include "gui/base/THelpService.h"

#include <QVariant>
#include <QWidget>

namespace {

constexpr const char* ContextProperty = "kestrifyHelpContext";

THelpService* installed = nullptr;

}  // namespace

THelpService& THelpService::Current() {
    if (installed != nullptr) {
        return *installed;
    }
    // Nothing installed (a test, a tool): help is asked for but shown nowhere.
    static TRecordingHelpService nowhere;
    return nowhere;
}

THelpService* THelpService::Install(THelpService* service) {
    THelpService* previous = installed;
    installed = service;
    return previous;
}

void THelpService::SetContext(QWidget* widget, int topic) {
    widget->setProperty(ContextProperty, topic);
}

int THelpService::OwnContext(const QWidget* widget) {
    return widget == nullptr ? 0 : widget->property(ContextProperty).toInt();
}

int THelpService::ContextFor(const QWidget* widget) {
    for (const QWidget* w = widget; w != nullptr; w = w->parentWidget()) {
        if (const int topic = OwnContext(w); topic != 0) {
            return topic;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return 0;
}
