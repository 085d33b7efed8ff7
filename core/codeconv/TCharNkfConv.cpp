#include "codeconv/TCharNkfConv.h"

#include <algorithm>
#include <exception>

#include "base/SjisText.h"

namespace {

// Byte-wise ASCII case-insensitive search; `needle` is upper case. When it
// starts with a byte that has no case ("=?..."), candidates are found with
// a plain search for that byte.
std::size_t FindNoCase(std::string_view text, std::string_view needle, std::size_t from = 0) {
    if (needle.empty() || needle.size() > text.size()) {
        return needle.empty() && from <= text.size() ? from : std::string_view::npos;
    }
    const bool caseless = needle[0] < 'A' || needle[0] > 'Z';
    const auto candidate = [&](std::size_t at) { return caseless ? text.find(needle[0], at) : at; };
    for (std::size_t i = candidate(from);
         i != std::string_view::npos && i + needle.size() <= text.size(); i = candidate(i + 1)) {
        std::size_t k = 0;
        while (k < needle.size() && sjis::AsciiUpper(text[i + k]) == needle[k]) {
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

// The "Q" form of an encoded word: "_" is a space, "=XY" a byte.
std::string DecodeQWord(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '_') {
            out += ' ';
        } else if (c == '=' && i + 2 < text.size() && sjis::HexDigitValue(text[i + 1]) >= 0 &&
                   sjis::HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(sjis::HexDigitValue(text[i + 1]) * 16 +
                                     sjis::HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
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
        const char letter = sjis::AsciiUpper(value[q + 1]);
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

bool OnlySpaces(std::string_view text) {
    for (const char c : text) {
        if (!IsSpace(c)) {
            return false;
        }
    }
    return true;
}

// One encoded word "=?charset?X?text?=" (RFC 2047) of any charset.
struct TEncodedWord {
    std::size_t begin = 0;
    std::size_t end = 0;  // after the closing "?=" (or the end of the value)
    std::string_view charset;
    char letter = 0;
    std::string_view text;
};

bool IsCharsetByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7F && c != '?' && c != '=';
}

// The next encoded word at or after `from`; an unclosed word runs to the end
// of the value. A charset may carry an RFC 2231 language ("utf-8*ja").
bool NextEncodedWord(std::string_view value, std::size_t from, TEncodedWord& word) {
    for (std::size_t p = value.find("=?", from); p != std::string_view::npos;
         p = value.find("=?", p + 1)) {
        std::size_t q = p + 2;
        while (q < value.size() && IsCharsetByte(value[q])) {
            ++q;
        }
        if (q == p + 2 || q + 2 >= value.size() || value[q] != '?' || value[q + 2] != '?') {
            continue;
        }
        const char letter = sjis::AsciiUpper(value[q + 1]);
        if (letter != 'B' && letter != 'Q') {
            continue;
        }
        std::string_view charset = value.substr(p + 2, q - p - 2);
        charset = charset.substr(0, charset.find('*'));
        if (charset.empty()) {
            continue;
        }
        const std::size_t textBegin = q + 3;
        const std::size_t close = value.find("?=", textBegin);
        word.begin = p;
        word.end = close == std::string_view::npos ? value.size() : close + 2;
        word.charset = charset;
        word.letter = letter;
        word.text = value.substr(textBegin, close == std::string_view::npos ? std::string_view::npos
                                                                            : close - textBegin);
        return true;
    }
    return false;
}

bool SameCharset(std::string_view a, std::string_view b) {
    return sjis::EqualsNoCase(a, b);
}

// Header text outside encoded words, appended to `out`: printable ASCII as
// it is, anything else (raw JIS, raw 8-bit text of an unknown charset)
// guessed.
void AppendRawText(std::string_view text, std::string& out) {
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80 && c != '\x1B';
    });
    if (ascii) {
        out.append(text);
    } else {
        out += TCodePageConv::GuessToSjis(text);
    }
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
    // The library reads Japanese only; Western text goes to iconv.
    if (nkfAvailable_ && mode != TCodePageConv::kLatin1) {
        std::string out;
        nkf_.Convert(text, out, "s");
        return out;
    }
    return TCodePageConv::ToSjis(text, mode);
}

void TCharNkfConv::AppendText(std::string_view text, int mode, std::string& out) const {
    if (mode == kQuotedPrintable || mode == kBase64 ||
        (nkfAvailable_ && mode != TCodePageConv::kLatin1)) {
        out += ConvertText(text, mode);
        return;
    }
    TCodePageConv::AppendSjis(text, mode, out);
}

std::string TCharNkfConv::DecodeHeader(std::string_view value) const {
    std::string out;
    // Bytes of adjacent words of one charset, decoded together; a buffer
    // kept by the thread.
    thread_local std::string run;
    run.clear();
    std::string_view runCharset;
    const auto flush = [&] {
        if (!runCharset.empty()) {
            AppendWordText(run, runCharset, out);
            run.clear();
            runCharset = {};
        }
    };
    std::size_t pos = 0;
    TEncodedWord word;
    while (NextEncodedWord(value, pos, word)) {
        const std::string_view between = value.substr(pos, word.begin - pos);
        // White space between two encoded words is no text (RFC 2047 6.2),
        // and a character may be split between two words of one charset.
        if (runCharset.empty() || !OnlySpaces(between)) {
            flush();
            AppendRawText(between, out);
        } else if (!SameCharset(runCharset, word.charset)) {
            flush();
        }
        if (word.letter == 'B') {
            AppendWordBase64(word.text, run);
        } else {
            run += DecodeQWord(word.text);
        }
        runCharset = word.charset;
        pos = word.end;
    }
    flush();
    AppendRawText(value.substr(pos), out);
    return out;
}

std::string TCharNkfConv::DecodeWordText(std::string_view bytes, std::string_view charset) const {
    std::string out;
    AppendWordText(bytes, charset, out);
    return out;
}

void TCharNkfConv::AppendWordText(std::string_view bytes, std::string_view charset,
                                  std::string& out) const {
    const int codePage = TCodePageConv::CodePageOf(charset);
    switch (codePage) {
        case TCodePageConv::kIso2022Jp:
        case TCodePageConv::kEucJp:
        case TCodePageConv::kUtf7:
        case TCodePageConv::kUtf8:
            AppendText(bytes, codePage, out);
            return;
        default:
            out += TCodePageConv::CharsetToSjis(bytes, charset);
            return;
    }
}

std::string TCharNkfConv::DecodeUtfWord(std::string_view value, std::string_view prefix) const {
    std::string upperPrefix;
    for (const char c : prefix) {
        upperPrefix += sjis::AsciiUpper(c);
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
                bytes += word.letter == 'B' ? DecodeWordBase64(word.text) : DecodeQWord(word.text);
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
