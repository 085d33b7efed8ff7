#pragma once
// Shift_JIS byte-string helpers. All text inside the program is Shift_JIS
// (CP932); positions and lengths count bytes, and searches never start a
// match on the second byte of a double-byte character.

#include <cstddef>
#include <string>
#include <string_view>

namespace sjis {

// First byte of a double-byte character (0x81-0x9F, 0xE0-0xFC).
constexpr bool IsLeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Second byte of a double-byte character (0x40-0x7E, 0x80-0xFC).
constexpr bool IsTrailByte(unsigned char c) {
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

// Length in bytes of the character that starts at `pos` (1 or 2). A lead byte
// at the end of the text counts as a single byte.
std::size_t CharLength(std::string_view text, std::size_t pos);

// Double-byte-aware search: the first occurrence of `needle` at or after
// `from` that starts on a character boundary. `from` must be a boundary.
// Returns npos when there is none. An empty needle is found at `from`.
std::size_t Find(std::string_view text, std::string_view needle, std::size_t from = 0);

// True when every lead byte is followed by a valid trail byte.
bool IsValid(std::string_view text);

// Replaces each broken double-byte character (lead byte without a valid trail
// byte) by '?', keeping the length of every other character. Valid text is
// returned unchanged.
std::string Repair(std::string_view text);

// Bytes <= 0x20 removed from both ends (the classic Trim).
std::string_view TrimControl(std::string_view text);

// ASCII case of one byte; every other byte is kept.
constexpr char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
constexpr char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Equal but for the case of ASCII letters.
constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

// ASCII upper-casing that leaves the second byte of double-byte characters
// alone (0x61-0x7A are valid trail bytes).
std::string ToUpper(std::string_view text);

// ASCII upper-casing of every byte, for text that is not Shift_JIS (UTF-8
// names, file names on disk), where ToUpper would skip a byte after 0x81-0x9F.
std::string AsciiToUpper(std::string_view text);

// The value of an ASCII hexadecimal digit (either case); -1 for any other byte.
constexpr int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace sjis
