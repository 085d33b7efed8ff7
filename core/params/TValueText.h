#pragma once
// Cleaning of extracted values: trimming, wrapping at a width and removal of
// trailing line breaks. Double-byte characters are never split.

#include <string>
#include <string_view>

class TValueText {
  public:
    // Leading and trailing full-width spaces are removed one character at a
    // time; a blank or tab at either end removes every byte <= 0x20 from
    // both ends. Other edge characters (a line break among them) stop it.
    static std::string TrimAll(std::string_view text);
    // The same, as a view into `text`.
    static std::string_view TrimAllView(std::string_view text);

    // Every line wrapped at `width` bytes, lines joined by CR LF, no line
    // break at the end.
    static std::string WrapText(std::string_view text, int width);
    // Pieces of `width` bytes, or one less where a double-byte character
    // would be cut, joined by CR LF.
    static std::string WrapLine(std::string_view line, int width);
    static void AppendWrappedLine(std::string& out, std::string_view line, int width);

    // Removes every CR LF pair at the end; a lone CR or LF stays.
    static std::string StripTrailingLineBreaks(std::string_view text);
    static void StripTrailingLineBreaksInPlace(std::string& text);
};
