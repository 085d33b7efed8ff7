#include "codeconv/TCharCodeConv.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "base/LineSplitter.h"

namespace {

constexpr int kInvalid = 64;

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
