#include "mail/THtmlMarkup.h"

#include <array>

#include "base/SjisText.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;

// Attributes that the text of a page may need; each kept once.
constexpr std::array<std::string_view, 3> kKeptAttributes = {"alt", "hidden", "style"};

// As the parser reads them: blanks, and the letters of names.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}
bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsNameStart(char c) {
    return IsLetter(c) || c == '_' || c == ':' || c == '.';
}
bool IsNameChar(char c) {
    return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-';
}

bool StartsNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           sjis::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

class TSlimmer {
  public:
    explicit TSlimmer(std::string_view html) : in_(html) { out_.reserve(html.size()); }

    std::string Run() {
        while (at_ < in_.size()) {
            const std::size_t lt = in_.find('<', at_);
            if (lt == npos) {
                CopyTo(in_.size());
                break;
            }
            CopyTo(lt);
            Markup();
        }
        return std::move(out_);
    }

  private:
    void CopyTo(std::size_t end) {
        out_.append(in_.substr(at_, end - at_));
        at_ = end;
    }
    // Copies up to and with the first `end` from `from`, or all that is left.
    void CopyThrough(std::string_view end, std::size_t from) {
        const std::size_t found = in_.find(end, from);
        CopyTo(found == npos ? in_.size() : found + end.size());
    }
    bool IsAt(std::size_t i, char c) const { return i < in_.size() && in_[i] == c; }
    bool IsTagEnd(std::size_t i) const {
        return IsAt(i, '>') || (IsAt(i, '/') && IsAt(i + 1, '>'));
    }
    std::size_t SkipBlanks(std::size_t i) const {
        while (i < in_.size() && IsBlank(in_[i])) {
            ++i;
        }
        return i;
    }

    // `at_` is on a "<".
    void Markup() {
        const std::string_view rest = in_.substr(at_);
        if (rest.starts_with("<!--")) {
            CopyThrough("-->", at_ + 4);
        } else if (StartsNoCase(rest, "<!DOCTYPE")) {
            at_ = DoctypeEnd();
        } else if (rest.starts_with("<?")) {
            CopyThrough(">", at_ + 2);
        } else if (rest.size() > 1 && IsLetter(rest[1])) {
            StartTag();
        } else if (rest.size() > 2 && rest[1] == '/' && IsNameStart(rest[2])) {
            EndTag();
        } else {
            CopyTo(at_ + 1);  // a "<" of the text
        }
    }

    void StartTag() {
        std::size_t i = at_ + 1;
        while (i < in_.size() && IsNameChar(in_[i])) {
            ++i;
        }
        const std::string_view name = in_.substr(at_ + 1, i - at_ - 1);
        out_ += '<';
        out_.append(name);
        std::array<bool, kKeptAttributes.size()> kept{};
        bool keptAny = false;
        bool closed = false;
        while (true) {
            i = SkipBlanks(i);
            if (i >= in_.size()) {
                break;
            }
            if (IsTagEnd(i)) {
                closed = in_[i] == '/';
                i += closed ? 2 : 1;
                if (keptAny) {
                    out_ += ' ';  // an unquoted value would take in a "/"
                }
                out_ += closed ? "/>" : ">";
                break;
            }
            if (!IsNameStart(in_[i])) {
                // Not an attribute: skipped up to a blank or the tag's end.
                while (i < in_.size() && !IsBlank(in_[i]) && !IsTagEnd(i)) {
                    ++i;
                }
                continue;
            }
            const std::size_t attributeAt = i;
            while (i < in_.size() && IsNameChar(in_[i])) {
                ++i;
            }
            const std::string_view attribute = in_.substr(attributeAt, i - attributeAt);
            i = AfterValue(i);
            keptAny |= Keep(attribute, in_.substr(attributeAt, i - attributeAt), kept);
        }
        at_ = i;
        // The parser reads these as raw text up to their end tag.
        if (!closed && (sjis::EqualsNoCase(name, "script") || sjis::EqualsNoCase(name, "style"))) {
            RawText(name);
        }
    }

    // Past the "=value" (if any) of an attribute whose name ends at `i`. A
    // quoted value runs to its closing quote whatever it holds.
    std::size_t AfterValue(std::size_t i) const {
        std::size_t j = SkipBlanks(i);
        if (!IsAt(j, '=')) {
            return i;
        }
        j = SkipBlanks(j + 1);
        if (IsAt(j, '"') || IsAt(j, '\'')) {
            const std::size_t close = in_.find(in_[j], j + 1);
            return close == npos ? in_.size() : close + 1;
        }
        while (j < in_.size() && !IsBlank(in_[j]) && in_[j] != '>') {
            ++j;
        }
        return j;
    }

    // Writes the attribute when it is one to keep and the first of its
    // name; true when written.
    bool Keep(std::string_view name, std::string_view whole,
              std::array<bool, kKeptAttributes.size()>& kept) {
        for (std::size_t k = 0; k < kKeptAttributes.size(); ++k) {
            if (sjis::EqualsNoCase(name, kKeptAttributes[k]) && !kept[k]) {
                kept[k] = true;
                out_ += ' ';
                out_.append(whole);
                return true;
            }
        }
        return false;
    }

    void RawText(std::string_view name) {
        for (std::size_t end = in_.find("</", at_); end != npos; end = in_.find("</", end + 2)) {
            if (StartsNoCase(in_.substr(end + 2), name)) {
                CopyTo(end);
                return;
            }
        }
        CopyTo(in_.size());
    }

    // An end tag ends at its first ">", quotes or not.
    void EndTag() {
        std::size_t i = at_ + 2;
        while (i < in_.size() && IsNameChar(in_[i])) {
            ++i;
        }
        out_.append(in_.substr(at_, i - at_));
        const std::size_t gt = in_.find('>', i);
        if (gt == npos) {
            at_ = in_.size();
            return;
        }
        out_ += '>';
        at_ = gt + 1;
    }

    // Where a document type declaration at `at_` ends: at its first ">",
    // or, with an internal subset ("[...]") before that, at the "]>" that
    // closes the subset.
    std::size_t DoctypeEnd() {
        const std::size_t from = at_ + 9;
        const std::size_t gt = in_.find('>', from);
        if (gt == npos) {
            return in_.size();
        }
        if (const std::size_t open = in_.substr(from, gt - from).find('['); open != npos) {
            if (const std::size_t end = SubsetEnd(from + open + 1); end != npos) {
                return end;
            }
        }
        return gt + 1;
    }

    // Past the first "]>" (blanks between allowed) from `from`; npos when
    // there is none. Each search fails once: none after a failed start.
    std::size_t SubsetEnd(std::size_t from) {
        if (from >= noSubsetEndFrom_) {
            return npos;
        }
        for (std::size_t close = in_.find(']', from); close != npos;
             close = in_.find(']', close + 1)) {
            const std::size_t gt = SkipBlanks(close + 1);
            if (IsAt(gt, '>')) {
                return gt + 1;
            }
        }
        noSubsetEndFrom_ = from;
        return npos;
    }

    std::string_view in_;
    std::string out_;
    std::size_t at_ = 0;
    std::size_t noSubsetEndFrom_ = npos;
};

}  // namespace

std::string THtmlMarkup::Slim(std::string_view html) {
    return TSlimmer(html).Run();
}
