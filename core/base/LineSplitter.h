#pragma once
// The one line splitter of the program: lines end at CR, LF or CR LF, a 0
// byte ends the text (unless it is read as data, as mail readers do: a 0
// inside a mail is damage, not its end), and a final line break does not
// start an empty line ("a\r\n" is one line, "a\r\n\r\n" two, "" none).

#include <string>
#include <string_view>
#include <vector>

class TLineSplitter {
  public:
    enum class TZeroByte { kEndsText, kIsData };

    explicit TLineSplitter(std::string_view text, TZeroByte zero = TZeroByte::kEndsText);

    // Next line without its line break; false when the text is exhausted.
    bool Next(std::string_view& line);

    // Byte offset in the text where the next line starts.
    std::size_t Position() const { return pos_; }

    static std::vector<std::string> Split(std::string_view text,
                                          TZeroByte zero = TZeroByte::kEndsText);
    // Appends the lines Next gives, as views into `text`: the fast way to
    // cut a whole text.
    static void AppendViews(std::string_view text, std::vector<std::string_view>& lines,
                            TZeroByte zero = TZeroByte::kEndsText);

  private:
    std::string_view text_;
    std::size_t pos_ = 0;
};
