#include "codeconv/TCodePageConv.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <stdexcept>

#include "base/SjisText.h"
#include "base/TKestrifyError.h"
#include "base/Utf8Text.h"
#include "codeconv/TCp932Tables.h"
#include "codeconv/TIconv.h"
#include "codeconv/TSjisUnicode.h"

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kShiftOut = 0x0E;
constexpr unsigned char kShiftIn = 0x0F;

bool IsAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string Message(const char* utf8) {
    return TSjisUnicode::FromUtf8(utf8);
}

// The converter for `from`, or the error that tells why there is none:
// CP932 itself missing means conversion is unavailable altogether.
TIconv& Converter(const char* to, const char* from) {
    try {
        return TIconv::ForThread(to, from);
    } catch (const std::runtime_error&) {
        bool targetMissing = false;
        try {
            TIconv::ForThread("CP932", "UTF-8");
        } catch (const std::runtime_error&) {
            targetMissing = true;
        }
        throw TKestrifyError(Message(targetMissing
                                         ? "IEコンポーネントの初期化に失敗しました。(1)"
                                         : "IEコンポーネントの初期化に失敗しました。(2)"));
    }
}

// Length of the EUC-JP character that starts `rest`, for skipping one that
// cannot be read or held.
std::size_t SkipEuc(std::string_view rest) {
    if (rest.empty()) {
        return 0;
    }
    const auto c = static_cast<unsigned char>(rest[0]);
    std::size_t want = c == 0x8F ? 3 : (c == 0x8E || c >= 0xA1) ? 2 : 1;
    std::size_t i = 1;
    while (i < want && i < rest.size() && static_cast<unsigned char>(rest[i]) >= 0xA1) {
        ++i;
    }
    return i;
}

// ---- ISO-2022-JP ---------------------------------------------------------

// Shift_JIS code for every JIS X 0208 pair (94 x 94), computed as Windows does
// (rows 13 and 89-92 included) and then put in the form CP932 prefers for
// that character, so that the same character always has the same bytes
// whatever the mail's charset. 0 where CP932 has no character. A row of 94
// is read from iconv when a text first needs it: texts use a few dozen rows,
// and reading all of them cost as much as decoding thousands of mails.
class TJisTable {
  public:
    TJisTable() : toUnicode_("UTF-8", "CP932"), fromUnicode_("CP932", "UTF-8") {}
    std::uint16_t operator()(unsigned char c1, unsigned char c2) {
        const std::uint16_t* row = rows_[c1 - 0x21].load(std::memory_order_acquire);
        return (row != nullptr ? row : BuildRow(c1))[c2 - 0x21];
    }

  private:
    [[gnu::noinline]] const std::uint16_t* BuildRow(unsigned char c1) {
        std::lock_guard lock(mutex_);
        std::array<std::uint16_t, 94>& codes = codes_[c1 - 0x21];
        if (rows_[c1 - 0x21].load(std::memory_order_relaxed) == nullptr) {
            std::string sjis, utf8, back;
            for (int c2 = 0x21; c2 <= 0x7E; ++c2) {
                sjis = Arithmetic(c1, c2);
                utf8.clear();
                toUnicode_.Convert(sjis, utf8, &TIconv::SkipSjis, "");
                std::uint16_t code = 0;
                if (!utf8.empty()) {
                    back.clear();
                    fromUnicode_.Convert(utf8, back, &TIconv::SkipUtf8, "");
                    const std::string& chosen = back.size() == 2 ? back : sjis;
                    code = static_cast<std::uint16_t>(static_cast<unsigned char>(chosen[0]) << 8 |
                                                      static_cast<unsigned char>(chosen[1]));
                }
                codes[c2 - 0x21] = code;
            }
            rows_[c1 - 0x21].store(codes.data(), std::memory_order_release);
        }
        return codes.data();
    }
    static std::string Arithmetic(int c1, int c2) {
        const int row = c1 - 0x21;
        const int lead = (row >> 1) + (c1 <= 0x5E ? 0x81 : 0xC1);
        const int trail = (c1 & 1) ? (c2 + (c2 < 0x60 ? 0x1F : 0x20)) : c2 + 0x7E;
        return std::string{static_cast<char>(lead), static_cast<char>(trail)};
    }

    TIconv toUnicode_;
    TIconv fromUnicode_;
    std::mutex mutex_;
    std::array<std::array<std::uint16_t, 94>, 94> codes_{};
    std::array<std::atomic<const std::uint16_t*>, 94> rows_{};
};

TJisTable& JisTable() {
    try {
        static TJisTable table;
        return table;
    } catch (const std::runtime_error&) {
        throw TKestrifyError(Message("IEコンポーネントの初期化に失敗しました。(1)"));
    }
}

enum class TMode { Roman, Kanji, Kana, Unknown2 };

bool InRange(unsigned char c, unsigned char lo, unsigned char hi) {
    return c >= lo && c <= hi;
}

class TIso2022JpDecoder {
  public:
    explicit TIso2022JpDecoder(std::string_view in) : in_(in) {}

    std::string Run() {
        std::string out;
        AppendTo(out);
        return out;
    }
    void AppendTo(std::string& out) {
        // Output never outgrows the input: every character shrinks or keeps
        // its size, so room for the input suffices.
        const std::size_t base = out.size();
        out.resize(base + in_.size());
        dst_ = out.data() + base;
        TJisTable& table = JisTable();
        while (pos_ < in_.size()) {
            const auto c = static_cast<unsigned char>(in_[pos_]);
            if (c == kEsc) {
                Escape();
            } else if (c == kShiftOut) {
                if (mode_ != TMode::Kana) {
                    saved_ = mode_;
                    mode_ = TMode::Kana;
                }
                ++pos_;
            } else if (c == kShiftIn) {
                if (mode_ == TMode::Kana) {
                    mode_ = saved_;
                }
                ++pos_;
            } else if (c < 0x21) {
                *dst_++ = static_cast<char>(c);  // controls and space in every mode
                ++pos_;
            } else if (mode_ == TMode::Kanji) {
                Pairs(table);
            } else if (mode_ == TMode::Roman) {
                RomanRun();
            } else {
                Character(c, table);
            }
        }
        out.resize(static_cast<std::size_t>(dst_ - out.data()));
    }

  private:
    void Put(char c) { *dst_++ = c; }

    // The common cases in one tight loop each, with the results of the
    // general path: whole pairs in Kanji mode; in Roman mode every 7-bit
    // byte but the escape and shift bytes stands for itself.
    void Pairs(TJisTable& table) {
        const std::size_t n = in_.size();
        // Locals, not members, in the loop: a byte written through a char
        // pointer could alias the members, which would be read again after
        // every byte.
        const char* const in = in_.data();
        std::size_t pos = pos_;
        char* dst = dst_;
        while (pos + 1 < n) {
            const auto c1 = static_cast<unsigned char>(in[pos]);
            const auto c2 = static_cast<unsigned char>(in[pos + 1]);
            if (!InRange(c1, 0x21, 0x7E) || !InRange(c2, 0x21, 0x7E)) {
                break;
            }
            pos += 2;
            const std::uint16_t code = table(c1, c2);
            if (code == 0) {
                *dst++ = '?';
            } else {
                dst[0] = static_cast<char>(code >> 8);
                dst[1] = static_cast<char>(code & 0xFF);
                dst += 2;
            }
        }
        pos_ = pos;
        dst_ = dst;
        if (pos_ < n && !InRange(static_cast<unsigned char>(in_[pos_]), 0x00, 0x20)) {
            Pair(static_cast<unsigned char>(in_[pos_]), table);  // a broken pair
        }
    }
    void RomanRun() {
        const std::size_t n = in_.size();
        const char* const in = in_.data();
        std::size_t pos = pos_;
        char* dst = dst_;
        while (pos < n) {
            const auto c = static_cast<unsigned char>(in[pos]);
            if (c >= 0x80 || c == kEsc || c == kShiftOut || c == kShiftIn) {
                break;
            }
            *dst++ = static_cast<char>(c);
            ++pos;
        }
        pos_ = pos;
        dst_ = dst;
        if (pos_ < n && static_cast<unsigned char>(in_[pos_]) >= 0x80) {
            Roman(static_cast<unsigned char>(in_[pos_]));
        }
    }

    void Character(unsigned char c, TJisTable& table) {
        switch (mode_) {
            case TMode::Roman:
                Roman(c);
                return;
            case TMode::Kana:
                Put(InRange(c, 0x21, 0x5F) ? static_cast<char>(c + 0x80) : '?');
                ++pos_;
                return;
            case TMode::Kanji:
            case TMode::Unknown2:
                Pair(c, table);
                return;
        }
    }

    // 8-bit bytes have no place in JIS text; keep them when they form
    // Shift_JIS (what careless senders put there), else mark them.
    void Roman(unsigned char c) {
        if (c < 0x80) {
            Put(static_cast<char>(c));
            ++pos_;
        } else if (InRange(c, 0xA1, 0xDF)) {
            Put(static_cast<char>(c));
            ++pos_;
        } else if (sjis::IsLeadByte(c) && pos_ + 1 < in_.size() &&
                   sjis::IsTrailByte(static_cast<unsigned char>(in_[pos_ + 1]))) {
            Put(static_cast<char>(c));
            Put(in_[pos_ + 1]);
            pos_ += 2;
        } else {
            Put('?');
            ++pos_;
        }
    }

    void Pair(unsigned char c1, TJisTable& table) {
        const unsigned char c2 =
            pos_ + 1 < in_.size() ? static_cast<unsigned char>(in_[pos_ + 1]) : 0;
        if (!InRange(c1, 0x21, 0x7E) || !InRange(c2, 0x21, 0x7E)) {
            Put('?');  // a broken pair: its second byte is read on its own
            ++pos_;
            return;
        }
        pos_ += 2;
        const std::uint16_t code = mode_ == TMode::Kanji ? table(c1, c2) : 0;
        if (code == 0) {
            Put('?');
            return;
        }
        Put(static_cast<char>(code >> 8));
        Put(static_cast<char>(code & 0xFF));
    }

    // ESC, intermediate bytes 0x20-0x2F, one final byte 0x30-0x7E.
    void Escape() {
        std::size_t end = pos_ + 1;
        while (end < in_.size() && InRange(static_cast<unsigned char>(in_[end]), 0x20, 0x2F)) {
            ++end;
        }
        if (end >= in_.size() || !InRange(static_cast<unsigned char>(in_[end]), 0x30, 0x7E)) {
            Put('?');  // a broken sequence: only the ESC is consumed
            ++pos_;
            return;
        }
        const std::string_view seq = in_.substr(pos_ + 1, end - pos_);
        pos_ = end + 1;
        if (seq == "(B" || seq == "(J") {
            mode_ = TMode::Roman;
        } else if (seq == "(I") {
            mode_ = TMode::Kana;
        } else if (seq == "$B" || seq == "$@" || seq == "$(B" || seq == "$(@") {
            mode_ = TMode::Kanji;
        } else if (seq == "$(D") {
            mode_ = TMode::Unknown2;  // JIS X 0212: not in CP932
        } else if (seq == "&@") {
            // Announces the 1990 edition of JIS X 0208; nothing to do.
        } else if (seq.size() >= 2 && seq[0] == '$') {
            Put('?');
            mode_ = TMode::Unknown2;
        } else {
            Put('?');
            if (seq.size() == 2 && seq[0] == '(') {
                mode_ = TMode::Roman;  // an unknown single-byte set: read as ASCII
            }
        }
    }

    std::string_view in_;
    std::size_t pos_ = 0;
    char* dst_ = nullptr;
    TMode mode_ = TMode::Roman;
    TMode saved_ = TMode::Roman;
};

// `text` appended to `out`, every byte that forms no character marked.
void AppendShiftJis(std::string_view text, std::string& out) {
    const std::size_t base = out.size();
    out.append(text);
    char* const p = out.data() + base;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c < 0x80 || InRange(c, 0xA1, 0xDF)) {
            ++i;
        } else if (sjis::IsLeadByte(c) && i + 1 < n &&
                   sjis::IsTrailByte(static_cast<unsigned char>(p[i + 1]))) {
            i += 2;
        } else {
            p[i++] = '?';
        }
    }
}

bool HasByte(std::string_view text, unsigned char b) {
    return text.find(static_cast<char>(b)) != std::string_view::npos;
}

template <typename Fn>
auto Guarded(Fn&& fn) {
    try {
        return fn();
    } catch (const std::bad_alloc&) {
        throw TKestrifyError(Message("IEコンポーネントのメモリ確保に失敗しました。"));
    }
}

// Reads `text` as Shift_JIS (`sjisMode`) or EUC-JP: how many bytes fit no
// character, and how much of what fits is common Japanese (kana and kanji
// count for, half-width katakana against).
struct TFit {
    int errors = 0;
    int common = 0;
};

TFit FitShiftJis(std::string_view text) {
    TFit fit;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
        } else if (InRange(c, 0xA1, 0xDF)) {
            --fit.common;
            ++i;
        } else if (sjis::IsLeadByte(c) && i + 1 < text.size() &&
                   sjis::IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
            // 0x82: hiragana, 0x83: katakana, 0x88-0x9F and 0xE0-0xEA: kanji.
            fit.common += (c == 0x82 || c == 0x83) ? 2 : (c == 0x81 || c >= 0x88) ? 1 : 0;
            i += 2;
        } else {
            ++fit.errors;
            ++i;
        }
    }
    return fit;
}

TFit FitEucJp(std::string_view text) {
    TFit fit;
    const auto at = [&](std::size_t i) {
        return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    };
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = at(i);
        if (c < 0x80) {
            ++i;
        } else if (c == 0x8E && InRange(at(i + 1), 0xA1, 0xDF)) {
            --fit.common;
            i += 2;
        } else if (c == 0x8F && InRange(at(i + 1), 0xA1, 0xFE) && InRange(at(i + 2), 0xA1, 0xFE)) {
            i += 3;
        } else if (InRange(c, 0xA1, 0xFE) && InRange(at(i + 1), 0xA1, 0xFE)) {
            // 0xA4: hiragana, 0xA5: katakana, 0xB0-0xF4: kanji.
            fit.common += (c == 0xA4 || c == 0xA5) ? 2 : (c == 0xA1 || c >= 0xB0) ? 1 : 0;
            i += 2;
        } else {
            ++fit.errors;
            ++i;
        }
    }
    return fit;
}

// A name that may go to iconv_open: a plain charset name, nothing that
// selects conversion options ("//TRANSLIT") or a file.
bool IsCharsetName(std::string_view name) {
    if (name.empty() || name.size() > 40) {
        return false;
    }
    for (const char c : name) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
                        c == '.' || c == ':' || c == '(' || c == ')';
        if (!ok) {
            return false;
        }
    }
    return true;
}

// The converter from charset `upperName` to UTF-8, or null when iconv does
// not know it. Through UTF-8, a character CP932 cannot hold is skipped whole
// whatever its length in the source. Unknown names are remembered per thread, so a mailbox full of
// one strange label asks iconv once.
TIconv* NamedConverter(const std::string& upperName) {
    thread_local std::set<std::string> unknown;
    if (!IsCharsetName(upperName) || unknown.contains(upperName)) {
        return nullptr;
    }
    try {
        return &TIconv::ForThread("UTF-8", upperName.c_str());
    } catch (const std::runtime_error&) {
        if (unknown.size() < 256) {
            unknown.insert(upperName);
        }
        return nullptr;
    }
}

}  // namespace

std::string TCodePageConv::ToSjis(std::string_view text, int codePage) {
    switch (codePage) {
        case kIso2022Jp:
            return Guarded([&] { return FromIso2022Jp(text); });
        case kEucJp:
            return Guarded([&] { return FromEucJp(text); });
        case kUtf7:
            return Guarded([&] { return FromUtf7(text); });
        case kUtf8:
            return Guarded([&] { return FromUtf8(text); });
        case kShiftJis:
            return FromShiftJis(text);
        case kLatin1:
            return Guarded([&] {
                if (IsAscii(text)) {
                    return std::string(text);
                }
                std::string out;
                out.reserve(text.size() * 2);
                Converter("CP932", "CP1252").Convert(text, out, &TIconv::SkipOne);
                return out;
            });
        default:
            return std::string(text);
    }
}

void TCodePageConv::AppendSjis(std::string_view text, int codePage, std::string& out) {
    switch (codePage) {
        case kIso2022Jp:
            if (HasByte(text, kEsc)) {
                Guarded([&] { TIso2022JpDecoder(text).AppendTo(out); });
                return;
            }
            break;
        case kEucJp:
            if (!IsAscii(text)) {
                Guarded([&] {
                    if (!TCp932Tables::AppendFromEucJp(text, out, &SkipEuc)) {
                        Converter("CP932", "EUC-JP-MS").Convert(text, out, &SkipEuc);
                    }
                });
                return;
            }
            break;
        case kShiftJis:
            AppendShiftJis(text, out);
            return;
        case kUtf8:
            if (!text.starts_with("\xEF\xBB\xBF") && !IsAscii(text)) {
                Guarded([&] {
                    if (!TCp932Tables::AppendFromUtf8(text, out)) {
                        Converter("CP932", "UTF-8").Convert(text, out, &TIconv::SkipUtf8);
                    }
                });
                return;
            }
            break;
        default:
            break;
    }
    out += ToSjis(text, codePage);
}

int TCodePageConv::CodePageOf(std::string_view charset) {
    struct TName {
        std::string_view name;
        int codePage;
    };
    static constexpr TName kNames[] = {
        {"ISO-2022-JP", kIso2022Jp},
        {"ISO-2022-JP-1", kIso2022Jp},
        {"ISO-2022-JP-2", kIso2022Jp},
        {"ISO-2022-JP-3", kIso2022Jp},
        {"CSISO2022JP", kIso2022Jp},
        {"US-ASCII", kIso2022Jp},
        {"ASCII", kIso2022Jp},
        {"ANSI_X3.4-1968", kIso2022Jp},
        {"UTF-7", kUtf7},
        {"UTF-8", kUtf8},
        {"UTF8", kUtf8},
        {"SHIFT_JIS", kShiftJis},
        {"SHIFT-JIS", kShiftJis},
        {"SJIS", kShiftJis},
        {"X-SJIS", kShiftJis},
        {"MS_KANJI", kShiftJis},
        {"CSSHIFTJIS", kShiftJis},
        {"WINDOWS-31J", kShiftJis},
        {"CP932", kShiftJis},
        {"MS932", kShiftJis},
        {"EUC-JP", kEucJp},
        {"X-EUC-JP", kEucJp},
        {"EUCJP", kEucJp},
        {"EUC-JP-MS", kEucJp},
        {"ISO-8859-1", kLatin1},
        {"ISO_8859-1", kLatin1},
        {"ISO8859-1", kLatin1},
        {"LATIN1", kLatin1},
        {"WINDOWS-1252", kLatin1},
        {"CP1252", kLatin1},
    };
    // Compared without an upper-cased copy: the length rules out most names.
    const auto sameUpper = [charset](std::string_view name) {
        return sjis::EqualsNoCase(name, charset);
    };
    for (const TName& n : kNames) {
        if (sameUpper(n.name)) {
            return n.codePage;
        }
    }
    return kNamedCharset;
}

std::string TCodePageConv::CharsetToSjis(std::string_view text, std::string_view charset) {
    const int codePage = CodePageOf(charset);
    if (codePage != kNamedCharset) {
        return ToSjis(text, codePage);
    }
    TIconv* converter = NamedConverter(sjis::ToUpper(charset));
    if (converter == nullptr) {
        return GuessToSjis(text);
    }
    return Guarded([&] {
        std::string utf8;
        utf8.reserve(text.size() * 2);
        converter->Convert(text, utf8, &TIconv::SkipOne);
        return FromUtf8(utf8);
    });
}

int TCodePageConv::GuessJapanese(std::string_view text) {
    if (utf8::IsValid(text)) {
        return kUtf8;
    }
    const TFit sjisFit = FitShiftJis(text);
    const TFit eucFit = FitEucJp(text);
    if (eucFit.errors != sjisFit.errors) {
        return eucFit.errors < sjisFit.errors ? kEucJp : kShiftJis;
    }
    return eucFit.common > sjisFit.common ? kEucJp : kShiftJis;
}

std::string TCodePageConv::GuessToSjis(std::string_view text) {
    if (HasByte(text, kEsc)) {
        return Guarded([&] { return TIso2022JpDecoder(text).Run(); });
    }
    if (IsAscii(text)) {
        return std::string(text);
    }
    switch (GuessJapanese(text)) {
        case kUtf8:
            return FromUtf8(text);
        case kEucJp:
            return FromEucJp(text);
        default:
            return FromShiftJis(text);
    }
}

std::string TCodePageConv::FromShiftJis(std::string_view text) {
    std::string out;
    AppendShiftJis(text, out);
    return out;
}

std::string TCodePageConv::FromIso2022Jp(std::string_view text) {
    if (!HasByte(text, kEsc)) {
        if (IsAscii(text)) {
            if (!HasByte(text, kShiftOut)) {
                return std::string(text);
            }
        } else {
            // Labelled (or defaulted to) ISO-2022-JP but 8-bit: mislabelled.
            return GuessToSjis(text);
        }
    }
    return TIso2022JpDecoder(text).Run();
}

std::string TCodePageConv::FromEucJp(std::string_view text) {
    if (IsAscii(text)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    if (!TCp932Tables::AppendFromEucJp(text, out, &SkipEuc)) {
        Converter("CP932", "EUC-JP-MS").Convert(text, out, &SkipEuc);
    }
    return out;
}

std::string TCodePageConv::FromUtf7(std::string_view text) {
    if (IsAscii(text) && !HasByte(text, '+')) {
        return std::string(text);
    }
    // Through UTF-8: a character CP932 lacks must not leave the stateful
    // UTF-7 decoder in the middle of a Base64 run.
    std::string utf8;
    utf8.reserve(text.size() * 2);
    Converter("UTF-8", "UTF-7").Convert(text, utf8, &TIconv::SkipOne);
    return FromUtf8(utf8);
}

std::string TCodePageConv::FromUtf8(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);  // a byte-order mark is not text
    }
    if (IsAscii(text)) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    if (!TCp932Tables::AppendFromUtf8(text, out)) {
        Converter("CP932", "UTF-8").Convert(text, out, &TIconv::SkipUtf8);
    }
    return out;
}
