#include "codeconv/TCharNkfConv.h"

#include <algorithm>
#include <exception>

#include "base/SjisText.h"

namespace {

constexpr std::string_view kJisQPrefix = "=?ISO-2022-JP?Q?";
constexpr std::string_view kUtfPrefixes[] = {"=?UTF-7?B?", "=?UTF-8?B?", "=?UTF-7?Q?",
                                             "=?UTF-8?Q?"};

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 0x20) : c;
}

// Byte-wise ASCII case-insensitive search; `needle` is upper case.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
    if (needle.size() > text.size()) {
        return std::string_view::npos;
    }
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && AsciiUpper(text[i + k]) == needle[k]) {
            ++k;
        }
        if (k == needle.size()) {
            return i;
        }
    }
    return std::string_view::npos;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char u = AsciiUpper(c);
    return (u >= 'A' && u <= 'F') ? u - 'A' + 10 : -1;
}

// The "Q" form of an encoded word: "_" is a space, "=XY" a byte.
std::string DecodeQWord(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// Every "_" becomes a space, except a 0x5F that is the second byte of a
// double-byte character.
void UnderscoresToSpaces(std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t len = sjis::CharLength(text, i);
        if (len == 1 && text[i] == '_') {
            text[i] = ' ';
        }
        i += len;
    }
}

// One encoded word "=?charset?X?text?=" of a UTF charset found in a value.
struct TUtfWord {
    std::size_t begin = 0;
    std::size_t end = 0;  // after the closing "?=" (or the end of the value)
    int codePage = 0;
    char letter = 0;
    std::string_view text;
};

// The next UTF-7 / UTF-8 word at or after `from`; an unclosed word runs to
// the end of the value. Charsets may carry an RFC 2231 language ("*ja").
bool NextUtfWord(std::string_view value, std::size_t from, TUtfWord& word) {
    for (std::size_t p = FindNoCase(value, "=?UTF-", from); p != std::string_view::npos;
         p = FindNoCase(value, "=?UTF-", p + 1)) {
        if (p + 9 >= value.size()) {
            return false;
        }
        const char digit = value[p + 6];
        std::size_t q = p + 7;
        if (q < value.size() && value[q] == '*') {
            while (q < value.size() && value[q] != '?') {
                ++q;
            }
        }
        if ((digit != '7' && digit != '8') || q + 2 >= value.size() || value[q] != '?' ||
            value[q + 2] != '?') {
            continue;
        }
        const char letter = AsciiUpper(value[q + 1]);
        if (letter != 'B' && letter != 'Q') {
            continue;
        }
        const std::size_t textBegin = q + 3;
        const std::size_t close = value.find("?=", textBegin);
        word.begin = p;
        word.codePage = digit == '7' ? TCodePageConv::kUtf7 : TCodePageConv::kUtf8;
        word.letter = letter;
        word.text = value.substr(textBegin, close == std::string_view::npos ? std::string_view::npos
                                                                            : close - textBegin);
        word.end = close == std::string_view::npos ? value.size() : close + 2;
        return true;
    }
    return false;
}

// Built-in path: ISO-2022-JP, EUC-JP and SHIFT_JIS words, raw JIS, plain
// text. A raw 8-bit value without escape sequences is read like a
// mislabelled body (UTF-8 when valid, else kept as Shift_JIS).
std::string DecodePlainHeader(std::string_view value) {
    std::string text(value);
    const bool eightBit = std::any_of(value.begin(), value.end(),
                                      [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    if (eightBit && value.find('\x1B') == std::string_view::npos) {
        try {
            text = TCodePageConv::FromIso2022Jp(value);
        } catch (const std::exception&) {
            // No converter: keep the bytes as they are.
        }
    }
    return TCharCodeConv::JisToSJis(TCharCodeConv::MimeToJis(text));
}

bool OnlySpaces(std::string_view text) {
    for (const char c : text) {
        if (!IsSpace(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

TCharNkfConv::TCharNkfConv() {
    nkfAvailable_ = nkf_.Load() == 0;
}

TCharNkfConv::TCharNkfConv(const std::filesystem::path& nkfLibrary) {
    nkfAvailable_ = nkf_.Load(nkfLibrary) == 0;
}

TCharNkfConv::~TCharNkfConv() {
    nkf_.Unload();
}

std::string TCharNkfConv::ConvertText(std::string_view text, int mode) const {
    if (mode == kQuotedPrintable) {
        return QPDecode(text);
    }
    if (mode == kBase64) {
        return B64Decode(text);
    }
    if (nkfAvailable_) {
        std::string out;
        nkf_.Convert(text, out, "s");
        return out;
    }
    return TCodePageConv::ToSjis(text, mode);
}

std::string TCharNkfConv::DecodeHeader(std::string_view value) const {
    const std::size_t b = FindNoCase(value, kJisQPrefix);
    if (b != std::string_view::npos) {
        // One span, from the prefix to the value's last "?=", is decoded;
        // without a closing "?=" the span runs to the end.
        const std::size_t textBegin = b + kJisQPrefix.size();
        const std::size_t close = value.rfind("?=");
        const bool closed = close != std::string_view::npos && close >= textBegin;
        const std::size_t e = closed ? close + 1 : value.size();
        const std::string_view encoded =
            closed ? value.substr(textBegin, close - textBegin) : value.substr(textBegin);
        std::string decoded = QPDecode(encoded);
        if (decoded.ends_with("\r\n")) {
            decoded.resize(decoded.size() - 2);  // not part of a one-line header value
        }
        std::string result(value.substr(0, b));
        result += ConvertText(decoded, TCodePageConv::kIso2022Jp);
        UnderscoresToSpaces(result);
        if (closed) {
            result.append(value.substr(e + 1));
        }
        return result;
    }
    for (const std::string_view prefix : kUtfPrefixes) {
        if (FindNoCase(value, prefix) != std::string_view::npos) {
            return DecodeUtfWord(value, prefix);
        }
    }
    return DecodePlainHeader(value);
}

std::string TCharNkfConv::DecodeUtfWord(std::string_view value, std::string_view prefix) const {
    std::string upperPrefix;
    for (const char c : prefix) {
        upperPrefix += AsciiUpper(c);
    }
    const std::size_t h = FindNoCase(value, upperPrefix);
    if (h == std::string_view::npos) {
        return std::string(value);
    }
    try {
        std::string result;
        std::size_t pos = 0;
        TUtfWord word;
        bool afterWord = false;
        while (NextUtfWord(value, pos, word)) {
            // White space between adjacent words is not text.
            const std::string_view between = value.substr(pos, word.begin - pos);
            if (!afterWord || !OnlySpaces(between)) {
                result.append(between);
            }
            // Adjacent words of one charset form one text: a character may
            // be split between them.
            std::string bytes;
            const int codePage = word.codePage;
            while (true) {
                bytes +=
                    word.letter == 'B' ? ConvertText(word.text, kBase64) : DecodeQWord(word.text);
                pos = word.end;
                TUtfWord next;
                if (!NextUtfWord(value, pos, next) || next.codePage != codePage ||
                    !OnlySpaces(value.substr(pos, next.begin - pos))) {
                    break;
                }
                word = next;
            }
            result += ConvertText(bytes, codePage);
            afterWord = true;
        }
        result.append(value.substr(pos));
        return result;
    } catch (const std::exception&) {
        return std::string(value);
    }
}
