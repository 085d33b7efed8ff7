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
    // A charset that is none of the code pages below; converted by its name.
    static constexpr int kNamedCharset = 0;
    static constexpr int kShiftJis = 932;
    static constexpr int kLatin1 = 1252;
    static constexpr int kIso2022Jp = 50222;
    static constexpr int kEucJp = 51932;
    static constexpr int kUtf7 = 65000;
    static constexpr int kUtf8 = 65001;

    // 50222, 51932, 65000, 65001 and 1252 (read as windows-1252, which
    // senders mean when they write ISO-8859-1) are converted; 932 keeps its
    // valid characters and marks broken bytes; any other code page gives the
    // text unchanged.
    static std::string ToSjis(std::string_view text, int codePage);
    // The same, appended to `out` (without a string of its own for the
    // common code pages).
    static void AppendSjis(std::string_view text, int codePage, std::string& out);

    // The code page of a MIME charset name (any case): one of the constants
    // above, kNamedCharset for every other name. US-ASCII is read like
    // ISO-2022-JP, whose escape sequences and mislabelled 8-bit bytes it so
    // often carries.
    static int CodePageOf(std::string_view charset);

    // `text` in the MIME charset `charset` to Shift_JIS: the code pages above
    // by their own converters, any other charset that iconv knows through
    // iconv, and a charset iconv does not know like text without any label
    // (GuessToSjis).
    static std::string CharsetToSjis(std::string_view text, std::string_view charset);

    // Text whose charset is not known (raw 8-bit header values, mislabelled
    // bodies): ASCII as it is, escape sequences as ISO-2022-JP, valid UTF-8 as
    // UTF-8, else Shift_JIS or EUC-JP, whichever the bytes fit better; bytes
    // that fit neither become "?".
    static std::string GuessToSjis(std::string_view text);

    // Which of UTF-8 (65001), EUC-JP (51932) and Shift_JIS (932) 8-bit text
    // most likely is. Valid UTF-8 wins; between the other two, the one that
    // reads the bytes with fewer errors, then the one whose reading gives
    // more common kana and kanji (EUC-JP kanji pairs are also valid
    // Shift_JIS half-width katakana, so validity alone cannot decide).
    static int GuessJapanese(std::string_view text);

    // ISO-2022-JP with the Windows extensions (NEC row 13, NEC-selected IBM
    // rows). A text without any escape sequence but with 8-bit bytes was
    // mislabelled: it is read by GuessToSjis.
    static std::string FromIso2022Jp(std::string_view text);
    static std::string FromEucJp(std::string_view text);
    static std::string FromUtf7(std::string_view text);
    static std::string FromUtf8(std::string_view text);
    // Valid Shift_JIS as it is; every byte that does not form a character
    // becomes "?".
    static std::string FromShiftJis(std::string_view text);
};
