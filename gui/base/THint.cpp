#include "gui/base/THint.h"

#include <QWidget>

QString THint::ToolTip(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.left(bar);
}

QString THint::StatusTip(const QString& hint) {
    const qsizetype bar = hint.indexOf(u'|');
    return bar < 0 ? hint : hint.mid(bar + 1);
}

void THint::Apply(QWidget* widget, const QString& hint) {
    widget->setToolTip(ToolTip(hint));
    widget->setStatusTip(StatusTip(hint));
}

void THint::ApplyToGroup(QWidget* widget, const QString& hint) {
    Apply(widget, hint);
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        Apply(child, hint);
    }
}
