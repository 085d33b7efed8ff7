#pragma once
// The parameter editor's check that a regular expression compiles. A failure
// is shown to the user (the title, a line break and the engine's message).

#include <QString>
#include <string>

class QWidget;

class TRegexCheck {
  public:
    // sjisPattern: Shift_JIS bytes. True when it compiles.
    static bool Compile(QWidget* parent, const std::string& sjisPattern, const QString& title);

    // The text Compile would show; empty when the pattern compiles.
    // `engineFailed` tells an engine that could not be set up from a pattern error.
    static QString Problem(const std::string& sjisPattern, const QString& title,
                           bool* engineFailed = nullptr);
};
