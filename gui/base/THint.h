#pragma once
// Hints come as "tool tip|status text". The part before the bar becomes the
// widget's tool tip, the part after it the text its window's status bar shows.
// A hint without a bar uses the whole text for both.

#include <QString>

class QWidget;

class THint {
  public:
    static QString ToolTip(const QString& hint);
    static QString StatusTip(const QString& hint);
    static void Apply(QWidget* widget, const QString& hint);
    // The widget and every widget inside it (radio groups: the buttons show
    // the group's hint too).
    static void ApplyToGroup(QWidget* widget, const QString& hint);
};
