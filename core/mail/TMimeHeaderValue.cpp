#include "mail/TMimeHeaderValue.h"

#include <algorithm>
#include <array>

#include "base/SjisText.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// What a byte is to a scan, by table: these are asked of every byte of
// every Content-Type. A lead byte takes the byte after it along (a trail
// byte may look like any ASCII byte from "@" up).
enum TByteClass : unsigned char { kStop, kTake, kLead };

constexpr std::array<TByteClass, 256> MakeTable(std::string_view stops, bool controlsStop) {
    std::array<TByteClass, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const bool control = c <= 0x20 || c == 0x7F;
        table[c] = sjis::IsLeadByte(static_cast<unsigned char>(c)) ? kLead
                   : control && controlsStop                       ? kStop
                                                                   : kTake;
    }
    for (const char c : stops) {
        table[static_cast<unsigned char>(c)] = kStop;
    }
    return table;
}
// RFC 2045 tokens: any byte but controls, the space and the tspecials;
// 8-bit bytes count, as raw Shift_JIS names are common.
constexpr std::array<TByteClass, 256> kToken = MakeTable("()<>@,;:\\\"/[]?=", true);
// Unquoted parameter values end only at ";", white space or a comment.
constexpr std::array<TByteClass, 256> kBareValue = MakeTable("; \t\r\n(", false);
// Inside a quoted string: its end and quoted-pairs need a look.
constexpr std::array<TByteClass, 256> kQuoted = MakeTable("\"\\", false);

bool IsLead(std::string_view text, std::size_t at) {
    return at + 1 < text.size() && sjis::IsLeadByte(static_cast<unsigned char>(text[at]));
}

// RFC 2231 "%XY" escapes decoded; a "%" without two hex digits is kept.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int hi =
            text[i] == '%' && i + 2 < text.size() ? sjis::HexDigitValue(text[i + 1]) : -1;
        const int lo = hi >= 0 ? sjis::HexDigitValue(text[i + 2]) : -1;
        if (lo >= 0) {
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

class TScanner {
  public:
    explicit TScanner(std::string_view text) : text_(text) {}

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }
    void Skip() { pos_ += IsLead(text_, pos_) ? 2 : 1; }
    std::size_t Pos() const { return pos_; }
    void Rewind(std::size_t pos) { pos_ = pos; }

    // White space and comments, nested ones included; an unclosed comment
    // runs to the end.
    void SkipCfws() {
        while (!AtEnd()) {
            if (IsBlank(text_[pos_])) {
                ++pos_;
            } else if (text_[pos_] == '(') {
                SkipComment();
            } else {
                return;
            }
        }
    }

    std::string_view Token() { return Run(kToken); }

    // A parameter value: a quoted string, or the bytes up to ";", white
    // space or a comment. Unquoted values are taken more widely than RFC
    // 2045 tokens ("boundary=----=_Part_1" is everywhere).
    std::string ParameterValue() {
        if (Peek() == '"') {
            return Quoted();
        }
        return std::string(Run(kBareValue));
    }

    // A quoted string at the current byte, its quoted-pairs undone; an
    // unclosed one runs to the end.
    std::string Quoted() {
        ++pos_;
        std::string out(Run(kQuoted));
        while (!AtEnd() && text_[pos_] != '"') {
            // A quoted-pair: the byte after the backslash as it is.
            if (pos_ + 1 < text_.size()) {
                ++pos_;
            }
            out += text_[pos_++];
            out += Run(kQuoted);
        }
        if (!AtEnd()) {
            ++pos_;
        }
        return out;
    }

  private:
    // The bytes from here up to the first one `table` stops at.
    std::string_view Run(const std::array<TByteClass, 256>& table) {
        const std::size_t start = pos_;
        while (pos_ < text_.size()) {
            const TByteClass c = table[static_cast<unsigned char>(text_[pos_])];
            if (c == kStop) {
                break;
            }
            pos_ += c == kLead && pos_ + 1 < text_.size() ? 2 : 1;
        }
        return text_.substr(start, pos_ - start);
    }

    void SkipComment() {
        int depth = 0;
        for (; !AtEnd(); ++pos_) {
            const char c = text_[pos_];
            if (IsLead(text_, pos_) || (c == '\\' && pos_ + 1 < text_.size())) {
                ++pos_;
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                ++pos_;
                return;
            }
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

void LowerInPlace(std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            i += IsLead(text, i) ? 1 : 0;
        } else if (static_cast<unsigned char>(c - 'A') < 26) {
            text[i] = static_cast<char>(c + ('a' - 'A'));
        }
    }
}

// One "name=value" as written, its name split into the RFC 2231 parts.
struct TRawParameter {
    std::string name;  // lower case, without the "*" parts
    int section;       // -1 when the name has no "*<n>"
    bool extended;     // a trailing "*": charset'language'%XY form
    std::string value;
};

TRawParameter Split(std::string_view name, std::string value) {
    TRawParameter raw{std::string(name), -1, false, std::move(value)};
    LowerInPlace(raw.name);
    if (!raw.name.empty() && raw.name.back() == '*') {
        raw.extended = true;
        raw.name.pop_back();
    }
    // Sections 0-999: a hostile value cannot make one parameter out of
    // millions of pieces.
    const std::size_t star = raw.name.rfind('*');
    if (star != std::string::npos && star + 1 < raw.name.size() &&
        raw.name.size() - star - 1 <= 3 &&
        std::all_of(raw.name.begin() + static_cast<std::ptrdiff_t>(star + 1), raw.name.end(),
                    [](char c) { return c >= '0' && c <= '9'; })) {
        raw.section = std::stoi(raw.name.substr(star + 1));
        raw.name.resize(star);
    }
    return raw;
}

// "charset'language'text" of an extended value; a value without both
// quotes is taken as text only.
void TakeCharset(std::string_view value, TMimeHeaderValue::TParameter& out) {
    const std::size_t first = value.find('\'');
    const std::size_t second =
        first == std::string_view::npos ? first : value.find('\'', first + 1);
    if (second == std::string_view::npos) {
        out.value += PercentDecoded(value);
        return;
    }
    out.charset = value.substr(0, first);
    out.language = value.substr(first + 1, second - first - 1);
    out.value += PercentDecoded(value.substr(second + 1));
}

// The sections of one continued parameter, sorted, joined from 0 up to the
// first one missing.
TMimeHeaderValue::TParameter Joined(std::vector<TRawParameter>::const_iterator begin,
                                    std::vector<TRawParameter>::const_iterator end) {
    TMimeHeaderValue::TParameter out{begin->name, {}, {}, {}};
    int next = 0;
    for (auto it = begin; it != end; ++it) {
        if (it->section != next) {
            if (it->section < next) {
                continue;  // a section given twice: the first counts
            }
            break;
        }
        if (!it->extended) {
            out.value += it->value;
        } else if (next == 0) {
            TakeCharset(it->value, out);
        } else {
            out.value += PercentDecoded(it->value);
        }
        ++next;
    }
    return out;
}

}  // namespace

TMimeHeaderValue::TMimeHeaderValue(std::string_view text) {
    TScanner in(text);
    in.SkipCfws();
    // The leading value, unless the text starts with a parameter.
    const std::size_t start = in.Pos();
    const std::string_view first = in.Token();
    in.SkipCfws();
    if (!first.empty() && in.Peek() == '=') {
        in.Rewind(start);
    } else {
        value_ = first;
        if (in.Peek() == '/') {
            in.Skip();
            in.SkipCfws();
            value_ += '/';
            value_ += in.Token();
        }
        stray_ = !value_.empty() && value_.find('/') == std::string::npos;  // "x-sjis"
        LowerInPlace(value_);
    }

    std::vector<TRawParameter> sections;
    while (!in.AtEnd()) {
        in.SkipCfws();
        if (in.AtEnd()) {
            break;
        }
        const std::string_view name = in.Token();
        if (name.empty()) {
            // ";" or a stray byte; a stray quoted string is skipped whole.
            if (in.Peek() == '"') {
                in.Quoted();
                stray_ = true;
            } else {
                stray_ = stray_ || in.Peek() != ';';
                in.Skip();
            }
            continue;
        }
        in.SkipCfws();
        if (in.Peek() != '=') {
            stray_ = true;  // a word without a value
            continue;
        }
        in.Skip();
        in.SkipCfws();
        TRawParameter raw = Split(name, in.ParameterValue());
        if (parameters_.empty()) {
            parameters_.reserve(4);  // one block for the few a value has
        }
        if (raw.section >= 0) {
            sections.push_back(std::move(raw));
        } else if (raw.extended) {
            TParameter& p = parameters_.emplace_back(TParameter{std::move(raw.name), {}, {}, {}});
            TakeCharset(raw.value, p);
        } else {
            parameters_.push_back(TParameter{std::move(raw.name), std::move(raw.value), {}, {}});
        }
    }
    std::stable_sort(sections.begin(), sections.end(),
                     [](const TRawParameter& a, const TRawParameter& b) {
                         return a.name != b.name ? a.name < b.name : a.section < b.section;
                     });
    for (auto it = sections.begin(); it != sections.end();) {
        const auto end = std::find_if(it, sections.end(),
                                      [&](const TRawParameter& r) { return r.name != it->name; });
        parameters_.push_back(Joined(it, end));
        it = end;
    }
}

const TMimeHeaderValue::TParameter* TMimeHeaderValue::Find(std::string_view lowerName) const {
    for (const TParameter& p : parameters_) {
        if (p.name == lowerName && !p.value.empty()) {
            return &p;
        }
    }
    return nullptr;
}

std::string_view TMimeHeaderValue::Parameter(std::string_view lowerName) const {
    const TParameter* p = Find(lowerName);
    return p == nullptr ? std::string_view() : std::string_view(p->value);
}
