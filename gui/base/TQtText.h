#pragma once
// The one crossing between the core's Shift_JIS bytes and the Unicode text
// that widgets show and edit. Everything the GUI takes from or gives to the
// core goes through here.

#include <QString>
#include <string>
#include <string_view>

class TQtText {
  public:
    // Unreadable bytes become '?'.
    static QString FromSjis(std::string_view sjis);
    // Characters that Shift_JIS cannot hold become '?'.
    static std::string ToSjis(const QString& text);
};
