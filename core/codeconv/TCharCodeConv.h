#pragma once
// The built-in transfer decoders of stored mail: Base64 and quoted-printable
// bodies and the Base64 text of encoded words. Charsets are converted by
// TCodePageConv and TCharNkfConv.
//
// Every operation takes bytes and returns new bytes, keeps no state and never
// fails: damaged input is decoded by fixed rules. Several of those rules are
// quirks that mail decoding elsewhere depends on (zero bytes dropped by
// B64Decode, "=00" kept by QPDecode); keep them.
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

    // The text of one "B" encoded word: bytes outside the Base64 alphabet are
    // skipped, zero bytes are kept, a partial last group gives what it holds.
    static std::string DecodeWordBase64(std::string_view text);
    // The same, appended to `out`.
    static void AppendWordBase64(std::string_view text, std::string& out);
};
