#pragma once
// Conversion of a text in one of the mail code pages to Shift_JIS (CP932),
// used for bodies and UTF header words when the kanji-filter library is
// absent. Thread-safe: converters are kept per thread.
//
// Characters that CP932 cannot hold become "?" (one per character); damaged
// input never raises and never loses the bytes around it. TKestrifyError is
// raised only when a converter cannot be set up at all.

#include <string>
#include <string_view>

class TCodePageConv {
  public:
    static constexpr int kShiftJis = 932;
    static constexpr int kLatin1 = 1252;
    static constexpr int kIso2022Jp = 50222;
    static constexpr int kEucJp = 51932;
    static constexpr int kUtf7 = 65000;
    static constexpr int kUtf8 = 65001;

    // 50222, 51932, 65000 and 65001 are converted; any other code page (932,
    // 1252, unknown ones) gives the text unchanged.
    static std::string ToSjis(std::string_view text, int codePage);

    // ISO-2022-JP with the Windows extensions (NEC row 13, NEC-selected IBM
    // rows). A text without any escape sequence but with 8-bit bytes was
    // mislabelled: it is read as UTF-8 when valid, else kept as Shift_JIS.
    static std::string FromIso2022Jp(std::string_view text);
    static std::string FromEucJp(std::string_view text);
    static std::string FromUtf7(std::string_view text);
    static std::string FromUtf8(std::string_view text);
};
