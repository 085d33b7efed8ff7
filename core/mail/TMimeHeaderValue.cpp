#include "mail/TMimeHeaderValue.h"

#include <algorithm>
#include <cstring>

#include "base/SjisText.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// RFC 2045: any byte but controls, the space and the tspecials. 8-bit bytes
// count, as raw Shift_JIS names are common.
bool IsTokenByte(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u != 0x7F && std::strchr("()<>@,;:\\\"/[]?=", c) == nullptr;
}

bool IsLead(std::string_view text, std::size_t at) {
    return at + 1 < text.size() && sjis::IsLeadByte(static_cast<unsigned char>(text[at]));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    const char u = sjis::AsciiUpper(c);
    return u >= 'A' && u <= 'F' ? u - 'A' + 10 : -1;
}

// RFC 2231 "%XY" escapes decoded; a "%" without two hex digits is kept.
std::string PercentDecoded(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int hi = text[i] == '%' && i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
        const int lo = hi >= 0 ? HexValue(text[i + 2]) : -1;
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

    std::string Token() {
        const std::size_t start = pos_;
        while (!AtEnd() && (IsLead(text_, pos_) || IsTokenByte(text_[pos_]))) {
            Skip();
        }
        return std::string(text_.substr(start, pos_ - start));
    }

    // A parameter value: a quoted string, or the bytes up to ";", white
    // space or a comment. Unquoted values are taken more widely than RFC
    // 2045 tokens ("boundary=----=_Part_1" is everywhere).
    std::string ParameterValue() {
        if (Peek() == '"') {
            return Quoted();
        }
        const std::size_t start = pos_;
        while (!AtEnd() && text_[pos_] != ';' && text_[pos_] != '(' && !IsBlank(text_[pos_])) {
            Skip();
        }
        return std::string(text_.substr(start, pos_ - start));
    }

    // A quoted string at the current byte, its quoted-pairs undone; an
    // unclosed one runs to the end.
    std::string Quoted() {
        std::string out;
        for (++pos_; !AtEnd() && text_[pos_] != '"'; ++pos_) {
            if (IsLead(text_, pos_)) {
                out += text_[pos_++];
            } else if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) {
                ++pos_;
            }
            out += text_[pos_];
        }
        if (!AtEnd()) {
            ++pos_;
        }
        return out;
    }

  private:
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
        if (IsLead(text, i)) {
            ++i;
        } else {
            text[i] = sjis::AsciiLower(text[i]);
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

TRawParameter Split(std::string name, std::string value) {
    LowerInPlace(name);
    TRawParameter raw{std::move(name), -1, false, std::move(value)};
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
    std::string first = in.Token();
    in.SkipCfws();
    if (!first.empty() && in.Peek() == '=') {
        in.Rewind(start);
    } else {
        value_ = std::move(first);
        if (in.Peek() == '/') {
            in.Skip();
            in.SkipCfws();
            value_ += '/';
            value_ += in.Token();
        }
        LowerInPlace(value_);
    }

    std::vector<TRawParameter> sections;
    while (!in.AtEnd()) {
        in.SkipCfws();
        if (in.AtEnd()) {
            break;
        }
        std::string name = in.Token();
        if (name.empty()) {
            // ";" or a stray byte; a stray quoted string is skipped whole.
            if (in.Peek() == '"') {
                in.Quoted();
            } else {
                in.Skip();
            }
            continue;
        }
        in.SkipCfws();
        if (in.Peek() != '=') {
            continue;  // a word without a value says nothing
        }
        in.Skip();
        in.SkipCfws();
        TRawParameter raw = Split(std::move(name), in.ParameterValue());
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
        const auto end = std::find_if(
            it, sections.end(), [&](const TRawParameter& r) { return r.name != it->name; });
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
