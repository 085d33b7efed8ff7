#include "imap/TImapFolderName.h"

#include <cstdint>
#include <vector>

#include "base/TKestrifyError.h"
#include "base/Utf8Text.h"
#include "codeconv/TSjisUnicode.h"

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+,";

int AlphabetValue(char c) {
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == ',')
        return 63;
    return -1;
}

// The next code point of `text` at `pos`, or -1 for bytes that are not UTF-8.
long NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    int extra = 0;
    long cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return -1;
    }
    if (pos + static_cast<std::size_t>(extra) >= text.size()) {
        return -1;
    }
    for (int i = 1; i <= extra; ++i) {
        const auto c = static_cast<unsigned char>(text[pos + i]);
        if ((c & 0xC0) != 0x80) {
            return -1;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr long kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return -1;
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return cp;
}

void AppendShifted(const std::vector<std::uint16_t>& units, std::string& out) {
    out.push_back('&');
    std::uint32_t bits = 0;
    int count = 0;
    for (const std::uint16_t unit : units) {
        bits = (bits << 16) | unit;
        count += 16;
        while (count >= 6) {
            count -= 6;
            out.push_back(kAlphabet[(bits >> count) & 0x3F]);
        }
        bits &= (1u << count) - 1;
    }
    if (count > 0) {
        out.push_back(kAlphabet[(bits << (6 - count)) & 0x3F]);
    }
    out.push_back('-');
}

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The code points of one "&...-" run, or false when it is not a valid one:
// base64 of UTF-16 as ToModifiedUtf7 spells it, holding no character that
// is written as itself or that is a control character.
bool DecodeShifted(std::string_view run, std::string& out) {
    std::uint32_t bits = 0;
    int count = 0;
    std::vector<std::uint16_t> units;
    for (const char c : run) {
        const int value = AlphabetValue(c);
        if (value < 0) {
            return false;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 16) {
            count -= 16;
            units.push_back(static_cast<std::uint16_t>(bits >> count));
            bits &= (1u << count) - 1;
        }
    }
    if (units.empty() || count >= 6 || bits != 0) {
        return false;
    }
    std::string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        long cp = units[i];
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF) {
                return false;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if ((cp >= 0xDC00 && cp <= 0xDFFF) || cp <= 0x7F || (cp >= 0x80 && cp < 0xA0)) {
            return false;
        }
        utf8::Append(text, static_cast<char32_t>(cp));
    }
    std::string spelled;
    AppendShifted(units, spelled);
    if (spelled.compare(1, spelled.size() - 2, run) != 0) {
        return false;  // the same text spelled otherwise: not the server's name back
    }
    out += text;
    return true;
}

// The end of the "&...-" run at `pos` ('&'): past its '-', or the end.
std::size_t RunEnd(std::string_view text, std::size_t pos) {
    const std::size_t dash = text.find('-', pos + 1);
    return dash == std::string_view::npos ? text.size() : dash + 1;
}

}  // namespace

std::string TImapFolderName::ToModifiedUtf7(std::string_view utf8) {
    std::string out;
    std::vector<std::uint16_t> units;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const long cp = NextCodePoint(utf8, pos);
        if (cp < 0) {
            throw TKestrifyError(
                TSjisUnicode::FromUtf8("IMAP のフォルダ名が UTF-8 ではありません"));
        }
        if (cp >= 0x20 && cp <= 0x7E) {
            if (!units.empty()) {
                AppendShifted(units, out);
                units.clear();
            }
            out.push_back(static_cast<char>(cp));
            if (cp == '&') {
                out.push_back('-');
            }
        } else if (cp >= 0x10000) {
            units.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    if (!units.empty()) {
        AppendShifted(units, out);
    }
    return out;
}

TImapFolderName::TRead TImapFolderName::Read(std::string_view mutf7) {
    TRead read;
    bool damaged = false;
    std::size_t pos = 0;
    while (pos < mutf7.size()) {
        const char c = mutf7[pos];
        if (c != '&') {
            const auto byte = static_cast<unsigned char>(c);
            const bool shown = byte >= 0x20 && byte < 0x7F;
            damaged = damaged || !shown;
            read.name.push_back(c);
            read.display += shown ? std::string(1, c) : std::string(kReplacement);
            ++pos;
            continue;
        }
        const std::size_t end = RunEnd(mutf7, pos);
        std::string text;
        if (end == pos + 2) {
            text = "&";
        } else if (mutf7[end - 1] != '-' ||
                   !DecodeShifted(mutf7.substr(pos + 1, end - pos - 2), text)) {
            damaged = true;
            text = kReplacement;
        }
        read.name += text;
        read.display += text;
        pos = end;
    }
    // Runs side by side, say, read well but spell back otherwise.
    if (damaged || ToModifiedUtf7(read.name) != mutf7) {
        read.name.assign(mutf7);  // the server's bytes: Examine sends them back as they are
    }
    return read;
}
