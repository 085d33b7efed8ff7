#pragma once
// The built-in decoders that turn what stored mail holds into Shift_JIS:
// Base64, quoted-printable, MIME encoded words of header values, EUC-JP to
// JIS and JIS (ISO-2022-JP) to Shift_JIS.
//
// Every operation takes bytes and returns new bytes, keeps no state and never
// fails: damaged input is decoded by fixed rules. Several of those rules are
// quirks that mail decoding elsewhere depends on (zero bytes dropped by
// B64Decode, "=00" kept by QPDecode, "[XXXX]" for bad JIS pairs); keep them.
//
// All operations are static, so they can be called on the class or on any
// object of it (TCharNkfConv derives from this class).

#include <string>
#include <string_view>

class TCharCodeConv {
  public:
    TCharCodeConv() = default;
    virtual ~TCharCodeConv() = default;
    TCharCodeConv(const TCharCodeConv&) = default;
    TCharCodeConv& operator=(const TCharCodeConv&) = default;

    // Base64 of a body (lines already joined). Every byte takes a position in
    // its group of four, invalid ones count as zero bits; the second and third
    // byte of a group are dropped when they are 0; a short last group gives
    // nothing.
    static std::string B64Decode(std::string_view text);
    // The same, appended to `out`.
    static void AppendB64Decoded(std::string_view text, std::string& out);

    // Quoted-printable, possibly several lines; each output line ends in CR LF
    // unless it ended in a soft break "=". "=XY" needs upper-case hex digits
    // and a non-zero value, otherwise the three bytes are kept as they are.
    static std::string QPDecode(std::string_view text);
    // The same, appended to `out`.
    static void AppendQPDecoded(std::string_view text, std::string& out);

    // Decodes the ISO-2022-JP, EUC-JP and SHIFT_JIS encoded words of a header
    // value. Japanese runs come out in JIS form (escape sequences); pass the
    // result through JisToSJis for Shift_JIS.
    static std::string MimeToJis(std::string_view value);

    // Decodes the encoded words "=?<charset>?X?...?=" of one charset (matched
    // case-insensitively). Text between words is kept; an unclosed word is
    // decoded to the end of the value.
    static std::string DecodeMimeWords(std::string_view text, std::string_view charset);

    // The text of one "B" encoded word: bytes outside the Base64 alphabet are
    // skipped, zero bytes are kept, a partial last group gives what it holds.
    static std::string DecodeWordBase64(std::string_view text);
    // The same, appended to `out`.
    static void AppendWordBase64(std::string_view text, std::string& out);

    // The text of one "Q" encoded word: "=XY" (upper-case hex) gives that
    // byte, 0 included; anything else is kept. "_" stays "_".
    static std::string DecodeWordQ(std::string_view text);

    // EUC-JP double-byte characters become JIS runs (ESC "$B" ... ESC "(J");
    // bytes that fit neither form are dropped.
    static std::string EucToJis(std::string_view text);

    // JIS (ISO-2022-JP) text, possibly mixed with plain bytes, to Shift_JIS.
    static std::string JisToSJis(std::string_view text);

    // One JIS X 0208 pair to its two Shift_JIS bytes; a pair with a byte
    // outside 0x21-0x7F gives the marker "[XXXX]" (its hex digits).
    static std::string j2sj1(unsigned char c1, unsigned char c2);

    // One half-width katakana byte 0xA1-0xDF to its full-width Shift_JIS
    // character (two bytes). Other bytes give an empty result.
    static std::string KanaConv(unsigned char b);
};
