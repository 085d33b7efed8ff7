#include "workbook/TWorkbookText.h"

#include <algorithm>

#include "base/SjisText.h"
#include "base/Utf8Text.h"

namespace {

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The code of an "_xHHHH_" escape at `at`, or -1.
int EscapeAt(std::string_view text, std::size_t at) {
    if (at + 7 > text.size() || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') {
        return -1;
    }
    int code = 0;
    for (std::size_t i = at + 2; i < at + 6; ++i) {
        const int digit = sjis::HexDigitValue(text[i]);
        if (digit < 0) {
            return -1;
        }
        code = code * 16 + digit;
    }
    return code;
}

// Half-width: ASCII and the half-width katakana block.
bool IsHalfWidth(std::string_view utf8, std::size_t at) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    if (lead < 0x80) {
        return true;
    }
    if (lead == 0xEF && at + 2 < utf8.size()) {
        const int code =
            ((lead & 0x0F) << 12) | ((utf8[at + 1] & 0x3F) << 6) | (utf8[at + 2] & 0x3F);
        return code >= 0xFF61 && code <= 0xFF9F;
    }
    return false;
}

}  // namespace

std::size_t TWorkbookText::Length(std::string_view utf8) {
    std::size_t chars = 0;
    for (const char c : utf8) {
        chars += IsContinuation(c) ? 0 : 1;
    }
    return chars;
}

bool TWorkbookText::CutAfter(std::string& utf8, std::size_t chars) {
    if (utf8.size() <= chars) {
        return false;  // never more characters than bytes
    }
    std::size_t seen = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (!IsContinuation(utf8[i]) && seen++ == chars) {
            utf8.resize(i);
            return true;
        }
    }
    return false;
}

int TWorkbookText::DisplayWidth(std::string_view utf8, int bound) {
    int widest = 0;
    int line = 0;
    for (std::size_t i = 0; i < utf8.size() && widest < bound; ++i) {
        const char c = utf8[i];
        if (c == '\n') {
            line = 0;
        } else if (!IsContinuation(c)) {
            line += IsHalfWidth(utf8, i) ? 1 : 2;
            widest = std::max(widest, line);
        }
    }
    return std::min(widest, bound);
}

std::string TWorkbookText::SheetName(std::string_view utf8) {
    constexpr std::size_t kMaxChars = 31;
    std::string name;
    std::size_t chars = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const char c = utf8[i];
        if (!IsContinuation(c) && chars++ == kMaxChars) {
            break;
        }
        const bool refused = std::string_view("[]:*?/\\").find(c) != std::string_view::npos ||
                             static_cast<unsigned char>(c) < 0x20;
        name += refused ? '_' : c;
    }
    while (!name.empty() && name.front() == '\'') {
        name.erase(0, 1);
    }
    while (!name.empty() && name.back() == '\'') {
        name.pop_back();
    }
    return name.empty() ? "Sheet1" : name;
}

void TWorkbookText::EscapeLiteralEscapes(std::string& utf8) {
    if (utf8.find("_x") == std::string::npos) {
        return;
    }
    std::string out;
    out.reserve(utf8.size() + 14);
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (EscapeAt(utf8, i) >= 0) {
            out += "_x005F";
        }
        out += utf8[i];
    }
    utf8.swap(out);
}

void TWorkbookText::Unescape(std::string& utf8) {
    if (utf8.find("_x") == std::string::npos) {
        return;
    }
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        const int code = EscapeAt(utf8, i);
        if (code < 0 || (code >= 0xD800 && code <= 0xDFFF)) {
            out += utf8[i++];
            continue;
        }
        utf8::Append(out, static_cast<char32_t>(code));
        i += 7;
    }
    utf8.swap(out);
}
