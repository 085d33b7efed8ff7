#include "codeconv/TCharCodeConv.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/LineSplitter.h"

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kShiftOut = 0x0E;
constexpr unsigned char kShiftIn = 0x0F;
constexpr int kInvalid = 64;

// Full-width Shift_JIS forms of the half-width katakana 0xA1-0xDF, in order.
constexpr char kKanaTable[] =
    "\x81\x42\x81\x75\x81\x76\x81\x41\x81\x45\x83\x92\x83\x40\x83\x42"
    "\x83\x44\x83\x46\x83\x48\x83\x83\x83\x85\x83\x87\x83\x62\x81\x5B"
    "\x83\x41\x83\x43\x83\x45\x83\x47\x83\x49\x83\x4A\x83\x4C\x83\x4E"
    "\x83\x50\x83\x52\x83\x54\x83\x56\x83\x58\x83\x5A\x83\x5C\x83\x5E"
    "\x83\x60\x83\x63\x83\x65\x83\x67\x83\x69\x83\x6A\x83\x6B\x83\x6C"
    "\x83\x6D\x83\x6E\x83\x71\x83\x74\x83\x77\x83\x7A\x83\x7D\x83\x7E"
    "\x83\x80\x83\x81\x83\x82\x83\x84\x83\x86\x83\x88\x83\x89\x83\x8A"
    "\x83\x8B\x83\x8C\x83\x8D\x83\x8F\x83\x93\x81\x4A\x81\x4B";
static_assert(sizeof kKanaTable == 63 * 2 + 1);

constexpr std::array<std::uint8_t, 256> MakeSextetTable() {
    std::array<std::uint8_t, 256> t{};
    for (auto& v : t) {
        v = kInvalid;
    }
    for (int i = 0; i < 26; ++i) {
        t['A' + i] = static_cast<std::uint8_t>(i);
        t['a' + i] = static_cast<std::uint8_t>(26 + i);
    }
    for (int i = 0; i < 10; ++i) {
        t['0' + i] = static_cast<std::uint8_t>(52 + i);
    }
    t['+'] = 62;
    t['/'] = 63;
    return t;
}
constexpr std::array<std::uint8_t, 256> kSextet = MakeSextetTable();

unsigned char Byte(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]);
}

// The three bytes of one Base64 group; an invalid sextet (64) adds no bits
// beyond what the masks keep.
struct TB64Group {
    unsigned char b1, b2, b3;
};
TB64Group MakeGroup(int s1, int s2, int s3, int s4) {
    return {static_cast<unsigned char>(((s1 << 2) | ((s2 & 0x30) >> 4)) & 0xFF),
            static_cast<unsigned char>((((s2 & 0x0F) << 4) | ((s3 & 0x3C) >> 2)) & 0xFF),
            static_cast<unsigned char>((((s3 & 0x03) << 6) | (s4 & 0x3F)) & 0xFF)};
}

// Upper-case hexadecimal digit value, or -1 (lower case does not count).
constexpr int HexDigit(unsigned char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

constexpr std::array<std::int8_t, 256> MakeHexTable() {
    std::array<std::int8_t, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[c] = static_cast<std::int8_t>(HexDigit(static_cast<unsigned char>(c)));
    }
    return t;
}
// HexDigit by table: quoted-printable Japanese text is mostly escapes.
constexpr std::array<std::int8_t, 256> kHexDigit = MakeHexTable();

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
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

// Byte-wise ASCII case-insensitive search; `needle` is upper case and
// starts with a byte that has no case ("=?...").
bool ContainsNoCase(std::string_view text, std::string_view needle) {
    for (std::size_t i = text.find(needle[0]); i != std::string_view::npos && i < text.size();
         i = text.find(needle[0], i + 1)) {
        if (EqualsNoCase(text.substr(i, needle.size()), needle)) {
            return true;
        }
    }
    return false;
}

// The decoded line is never longer than the line, so it is written straight
// into room made for it at once: a body of escapes costs no growth checks.
void QPDecodeLine(std::string_view line, std::string& out) {
    const std::size_t base = out.size();
    out.resize(base + line.size());
    char* const begin = out.data() + base;
    char* dst = begin;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] != '=') {
            // The text up to the next escape, in one piece.
            const std::size_t eq = std::min(line.find('=', i), line.size());
            line.copy(dst, eq - i, i);
            dst += eq - i;
            i = eq;
            continue;
        }
        // Runs of whole escapes of non-zero bytes (Japanese text is little
        // else) in a loop of their own.
        const char* const in = line.data();
        std::size_t at = i;
        char* p = dst;
        while (at + 2 < line.size() && in[at] == '=') {
            const int hi = kHexDigit[static_cast<unsigned char>(in[at + 1])];
            const int lo = kHexDigit[static_cast<unsigned char>(in[at + 2])];
            const int value = hi * 16 + lo;
            if ((hi | lo) < 0 || value == 0) {
                break;
            }
            *p++ = static_cast<char>(value);
            at += 3;
        }
        if (at != i) {
            i = at;
            dst = p;
            continue;
        }
        const std::size_t have = std::min<std::size_t>(2, line.size() - i - 1);
        const int d1 = have >= 1 ? kHexDigit[Byte(line, i + 1)] : -1;
        const int d2 = have >= 2 ? kHexDigit[Byte(line, i + 2)] : -1;
        const int value = (d1 < 0 || d2 < 0) ? 0 : d1 * 16 + d2;
        if (value != 0) {
            *dst++ = static_cast<char>(value);
        } else {
            dst += line.copy(dst, 1 + have, i);
        }
        i += 1 + have;
    }
    out.resize(base + static_cast<std::size_t>(dst - begin));
}

void DecodeWordByLetter(char letter, std::string_view text, std::string& out) {
    if (letter == 'B' || letter == 'b') {
        out += TCharCodeConv::DecodeWordBase64(text);
    } else if (letter == 'Q' || letter == 'q') {
        out += TCharCodeConv::DecodeWordQ(text);
    } else {
        out.append(text);
    }
}

void AppendJisPair(unsigned char c1, unsigned char c2, std::string& out) {
    if (c1 < 0x21 || c1 > 0x7F || c2 < 0x21 || c2 > 0x7F) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        out += '[';
        out += kHex[c1 >> 4];
        out += kHex[c1 & 0x0F];
        out += kHex[c2 >> 4];
        out += kHex[c2 & 0x0F];
        out += ']';
        return;
    }
    const unsigned t = (c1 & 1) ? c1 : c1 - 1u;
    const unsigned first = ((t - 0x21) >> 1) + (c1 <= 0x5E ? 0x81 : 0xC1);
    unsigned second;
    if ((c1 & 1) == 0) {
        second = c2 + 0x7Eu;
    } else {
        second = c2 < 0x60 ? c2 + 0x1Fu : c2 + 0x20u;
    }
    out += static_cast<char>(first & 0xFF);
    out += static_cast<char>(second & 0xFF);
}

void AppendKana(unsigned char b, std::string& out) {
    if (b >= 0xA1 && b <= 0xDF) {
        out.append(kKanaTable + (b - 0xA1) * 2, 2);
    }
}

enum class TJisMode { Roman, Kanji, Kana };

// Recognised escape sequence at `p` (three bytes), or false.
bool JisEscape(std::string_view text, std::size_t p, TJisMode& mode) {
    if (p + 3 > text.size() || Byte(text, p) != kEsc) {
        return false;
    }
    const char a = text[p + 1];
    const char b = text[p + 2];
    if (a == '$' && (b == 'B' || b == '@')) {
        mode = TJisMode::Kanji;
    } else if (a == '(' && (b == 'B' || b == 'J')) {
        mode = TJisMode::Roman;
    } else if (a == '(' && b == 'I') {
        mode = TJisMode::Kana;
    } else {
        return false;
    }
    return true;
}

}  // namespace

std::string TCharCodeConv::B64Decode(std::string_view text) {
    std::string out;
    AppendB64Decoded(text, out);
    return out;
}

void TCharCodeConv::AppendB64Decoded(std::string_view text, std::string& out) {
    // Written into room for three bytes a group; a 0 byte is written and
    // then overwritten, which drops it without a branch.
    const std::size_t base = out.size();
    out.resize(base + text.size() / 4 * 3);
    char* const begin = out.data() + base;
    char* p = begin;
    const std::size_t whole = text.size() / 4 * 4;
    for (std::size_t i = 0; i < whole; i += 4) {
        const TB64Group g = MakeGroup(kSextet[Byte(text, i)], kSextet[Byte(text, i + 1)],
                                      kSextet[Byte(text, i + 2)], kSextet[Byte(text, i + 3)]);
        *p++ = static_cast<char>(g.b1);
        *p = static_cast<char>(g.b2);
        p += g.b2 != 0;
        *p = static_cast<char>(g.b3);
        p += g.b3 != 0;
    }
    out.resize(base + static_cast<std::size_t>(p - begin));
}

std::string TCharCodeConv::QPDecode(std::string_view text) {
    std::string out;
    AppendQPDecoded(text, out);
    return out;
}

void TCharCodeConv::AppendQPDecoded(std::string_view text, std::string& out) {
    out.reserve(out.size() + text.size() + 2);
    TLineSplitter lines(text);
    std::string_view line;
    while (lines.Next(line)) {
        if (!line.empty() && line.back() == '=') {
            QPDecodeLine(line.substr(0, line.size() - 1), out);
        } else {
            QPDecodeLine(line, out);
            out += "\r\n";
        }
    }
}

std::string TCharCodeConv::MimeToJis(std::string_view value) {
    std::string text(value);
    if (ContainsNoCase(text, "=?ISO-2022-JP?")) {
        text = DecodeMimeWords(text, "iso-2022-jp");
    }
    if (ContainsNoCase(text, "=?EUC-JP?")) {
        text = EucToJis(DecodeMimeWords(text, "euc-jp"));
    }
    if (ContainsNoCase(text, "=?SHIFT_JIS?")) {
        text = DecodeMimeWords(text, "shift_jis");
    }
    return text;
}

std::string TCharCodeConv::DecodeMimeWords(std::string_view text, std::string_view charset) {
    std::string out;
    out.reserve(text.size());
    std::string collected;
    char letter = 0;
    const std::size_t len = charset.size();
    std::size_t p = 0;
    while (p < text.size()) {
        if (p + len + 5 <= text.size() && text[p] == '=' && text[p + 1] == '?' &&
            EqualsNoCase(text.substr(p + 2, len), charset) && text[p + len + 2] == '?' &&
            text[p + len + 4] == '?') {
            letter = text[p + len + 3];
            collected.clear();
            p += len + 5;
        } else if (letter != 0 && text[p] == '?' && p + 1 < text.size() && text[p + 1] == '=') {
            DecodeWordByLetter(letter, collected, out);
            collected.clear();
            letter = 0;
            p += 2;
        } else {
            (letter != 0 ? collected : out) += text[p];
            ++p;
        }
    }
    if (letter != 0) {
        DecodeWordByLetter(letter, collected, out);
    }
    return out;
}

std::string TCharCodeConv::DecodeWordBase64(std::string_view text) {
    std::string out;
    AppendWordBase64(text, out);
    return out;
}

void TCharCodeConv::AppendWordBase64(std::string_view text, std::string& out) {
    // Written straight into room for the most the text can give.
    const std::size_t base = out.size();
    out.resize(base + text.size() / 4 * 3 + 2);
    char* const begin = out.data() + base;
    char* p = begin;
    int s[4];
    int n = 0;
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        // Four valid characters at a group's start, the common case, at once.
        if (n == 0 && i + 4 <= text.size()) {
            const int a = kSextet[t[i]], b = kSextet[t[i + 1]];
            const int c = kSextet[t[i + 2]], d = kSextet[t[i + 3]];
            if ((a | b | c | d) < kInvalid) {
                const TB64Group g = MakeGroup(a, b, c, d);
                p[0] = static_cast<char>(g.b1);
                p[1] = static_cast<char>(g.b2);
                p[2] = static_cast<char>(g.b3);
                p += 3;
                i += 4;
                continue;
            }
        }
        const int v = kSextet[t[i++]];
        if (v == kInvalid) {
            continue;
        }
        s[n++] = v;
        if (n == 4) {
            const TB64Group g = MakeGroup(s[0], s[1], s[2], s[3]);
            p[0] = static_cast<char>(g.b1);
            p[1] = static_cast<char>(g.b2);
            p[2] = static_cast<char>(g.b3);
            p += 3;
            n = 0;
        }
    }
    if (n >= 2) {
        const TB64Group g = MakeGroup(s[0], s[1], n == 3 ? s[2] : 0, 0);
        *p++ = static_cast<char>(g.b1);
        if (n == 3) {
            *p++ = static_cast<char>(g.b2);
        }
    }
    out.resize(base + static_cast<std::size_t>(p - begin));
}

std::string TCharCodeConv::DecodeWordQ(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t eq = text.find('=', i);
        if (eq == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, eq - i));
        const int d1 = eq + 2 < text.size() ? HexDigit(Byte(text, eq + 1)) : -1;
        const int d2 = eq + 2 < text.size() ? HexDigit(Byte(text, eq + 2)) : -1;
        if (d1 >= 0 && d2 >= 0) {
            out += static_cast<char>(d1 * 16 + d2);
            i = eq + 3;
        } else {
            out += '=';
            i = eq + 1;
        }
    }
    return out;
}

std::string TCharCodeConv::EucToJis(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    bool kanji = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const unsigned char c = Byte(text, i);
        // The byte after the last one counts as a space.
        const unsigned char next = i + 1 < text.size() ? Byte(text, i + 1) : ' ';
        if (c >= 0x81 && next >= 0x81) {
            if (!kanji) {
                out += "\x1B$B";
                kanji = true;
            }
            out += static_cast<char>(c - 0x80);
            out += static_cast<char>(next - 0x80);
            i += 2;
        } else if (c < 0x80) {
            if (kanji) {
                out += "\x1B(J";
                kanji = false;
            }
            out += static_cast<char>(c);
            ++i;
        } else {
            ++i;
        }
    }
    if (kanji) {
        out += "\x1B(J";
    }
    return out;
}

std::string TCharCodeConv::JisToSJis(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    TJisMode mode = TJisMode::Roman;
    TJisMode saved = TJisMode::Roman;
    std::size_t p = 0;
    while (p < text.size()) {
        const unsigned char c = Byte(text, p);
        if (JisEscape(text, p, mode)) {
            p += 3;
        } else if (mode != TJisMode::Kana && c == kShiftOut) {
            saved = mode;
            mode = TJisMode::Kana;
            ++p;
        } else if (mode == TJisMode::Kana && c == kShiftIn) {
            mode = saved;
            ++p;
        } else if (mode == TJisMode::Kanji && p + 1 < text.size()) {
            AppendJisPair(c, Byte(text, p + 1), out);
            p += 2;
        } else if (mode == TJisMode::Kana && c >= 0x21 && c <= 0x5F) {
            AppendKana(static_cast<unsigned char>(c + 0x80), out);
            ++p;
        } else {
            out += static_cast<char>(c);
            ++p;
        }
    }
    return out;
}

std::string TCharCodeConv::j2sj1(unsigned char c1, unsigned char c2) {
    std::string out;
    AppendJisPair(c1, c2, out);
    return out;
}

std::string TCharCodeConv::KanaConv(unsigned char b) {
    std::string out;
    AppendKana(b, out);
    return out;
}
