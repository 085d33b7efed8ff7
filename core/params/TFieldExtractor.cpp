#include "params/TFieldExtractor.h"

#include <algorithm>

#include "base/SjisText.h"
#include "params/TDateNormalizer.h"
#include "params/TMailAddressExtractor.h"
#include "params/TValueText.h"
#include "regex/TJre.h"

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kDateKey = "DATE:";

bool IsMultiLine(const TOrderedParamString& p) {
    return p.GetRowType() == TOrderedParamString::RowMulti;
}

bool IsOneLine(const TOrderedParamString& p) {
    return p.GetRowType() == TOrderedParamString::RowSingle;
}

// Whether `line` begins with `prefix`. Keys are compared against every
// line and usually differ within the first few bytes, so a plain loop beats
// a library call per line.
bool StartsWith(std::string_view line, std::string_view prefix) {
    if (line.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (line[i] != prefix[i]) {
            return false;
        }
    }
    return true;
}

// Where the matched text first occurs in `text`: at or before the match.
// The match position itself is the answer when a damaged character makes
// the boundary walk of the plain search disagree with the engine's.
std::size_t FirstOccurrence(std::string_view text, const TJreMatch& match) {
    const std::size_t at = sjis::Find(text, text.substr(match.position, match.length));
    return at < match.position ? at : match.position;
}

// A non-empty leftmost match of `pattern`, or nothing (also without engine).
std::optional<TJreMatch> NonEmptyMatch(std::string_view pattern, std::string_view text) {
    if (!TJre::IsAvailable()) {
        return std::nullopt;
    }
    const auto match = TJre::Instance().Search(pattern, text);
    if (!match || match->length == 0) {
        return std::nullopt;
    }
    return match;
}

// Reduces `value` to `part`, a view into it (or empty), without allocating.
void KeepOnly(std::string& value, std::string_view part) {
    if (part.empty()) {
        value.clear();
        return;
    }
    const auto head = static_cast<std::size_t>(part.data() - value.data());
    value.resize(head + part.size());
    value.erase(0, head);
}

void TrimInPlace(std::string& value) {
    KeepOnly(value, TValueText::TrimAllView(value));
}

}  // namespace

// A body line on which a parameter's key was found, with the text after the key.
struct TFieldExtractor::TKeyLine {
    std::size_t line;
    std::size_t param;
    std::string_view rest;
};

std::optional<std::string_view> TFieldExtractor::MatchKey(const TOrderedParamString& param,
                                                          std::string_view line) {
    const std::string& key = param.GetParamKey();
    if (!param.GetRegExt()) {
        if (!StartsWith(line, key)) {
            return std::nullopt;
        }
        return sjis::TrimControl(line.substr(key.size()));
    }
    if (key == "^") {
        return line;
    }
    const auto match = NonEmptyMatch(key, line);
    if (!match) {
        return std::nullopt;
    }
    return line.substr(FirstOccurrence(line, *match) + match->length);
}

bool TFieldExtractor::LineMatchesEnd(std::string_view line, std::string_view endStr, bool regex) {
    if (!regex) {
        return StartsWith(line, endStr);
    }
    return NonEmptyMatch(endStr, line).has_value();
}

std::string TFieldExtractor::CutAtEndString(const TOrderedParamString& param,
                                            std::string_view value) {
    if (!IsOneLine(param) || param.GetPosType() != TOrderedParamString::PosBody) {
        return std::string(value);
    }
    const std::string& endStr = param.GetEndStr();
    if (param.GetEndStrRegExp()) {
        const auto match = NonEmptyMatch(endStr, value);
        if (!match) {
            return std::string(value);
        }
        return std::string(value.substr(0, FirstOccurrence(value, *match)));
    }
    if (endStr.empty()) {
        return std::string(value);
    }
    std::size_t last = std::string_view::npos;
    for (std::size_t at = sjis::Find(value, endStr); at != std::string_view::npos;
         at = sjis::Find(value, endStr, at + sjis::CharLength(value, at))) {
        last = at;
    }
    return std::string(value.substr(0, last));
}

// Where the value of each FieldOrder is kept: at that index of a row, or,
// when `orders` (the distinct FieldOrders, ascending) is given, at the
// index of the order in it.
class TFieldExtractor::TSlots {
  public:
    TSlots(std::span<std::string> values, std::span<const int> orders = {})
        : values_(values), orders_(orders) {}
    std::string& operator[](int order) {
        if (orders_.empty()) {
            return values_[static_cast<std::size_t>(order)];
        }
        const auto it = std::lower_bound(orders_.begin(), orders_.end(), order);
        return values_[static_cast<std::size_t>(it - orders_.begin())];
    }

  private:
    std::span<std::string> values_;
    std::span<const int> orders_;
};

TValueMap TFieldExtractor::ExtractValues(const TBasicMail& mail,
                                         const std::vector<TOrderedParamString>& headerParams,
                                         const std::vector<TOrderedParamString>& bodyParams) {
    std::vector<int> orders;
    for (const auto* params : {&headerParams, &bodyParams}) {
        for (const TOrderedParamString& p : *params) {
            orders.push_back(p.GetFieldOrder());
        }
    }
    std::sort(orders.begin(), orders.end());
    orders.erase(std::unique(orders.begin(), orders.end()), orders.end());
    std::vector<std::string> dense(orders.size());
    TSlots slots(dense, orders);
    Extract(mail, headerParams, bodyParams, slots);
    TValueMap values;
    for (std::size_t i = 0; i < orders.size(); ++i) {
        values.emplace_hint(values.end(), orders[i], std::move(dense[i]));
    }
    return values;
}

void TFieldExtractor::ExtractRow(const TBasicMail& mail,
                                 const std::vector<TOrderedParamString>& headerParams,
                                 const std::vector<TOrderedParamString>& bodyParams,
                                 std::vector<std::string>& row) {
    TSlots slots(row);
    Extract(mail, headerParams, bodyParams, slots);
}

void TFieldExtractor::Extract(const TBasicMail& mail,
                              const std::vector<TOrderedParamString>& headerParams,
                              const std::vector<TOrderedParamString>& bodyParams, TSlots& values) {
    FillHeaderValues(mail, headerParams, values);
    if (!bodyParams.empty()) {
        const TBodyLines body = mail.BodyLines();
        // One list per thread, reused from mail to mail.
        thread_local std::vector<TKeyLine> keyLines;
        keyLines.clear();
        FindKeyLines(body, bodyParams, keyLines);
        CollectBodyValues(body, bodyParams, keyLines, values);
        FinishBodyValues(bodyParams, values);
    }
}

void TFieldExtractor::FillHeaderValues(const TBasicMail& mail,
                                       const std::vector<TOrderedParamString>& headerParams,
                                       TSlots& values) {
    std::string key;
    for (const TOrderedParamString& p : headerParams) {
        key = sjis::ToUpper(p.GetParamKey());
        const std::vector<std::string>& found = mail.HeaderValues(key);
        if (key == kDateKey && found.size() == 1) {
            // The one value as it stands: no joined copy to normalise.
            values[p.GetFieldOrder()] = TDateNormalizer::NormalizeDate(found.front());
            continue;
        }
        std::string text;
        for (const std::string& v : found) {
            if (!text.empty()) {
                text.append(kLineBreak);
            }
            text.append(v);
        }
        if (key == kDateKey) {
            text = TDateNormalizer::NormalizeDate(text);
        }
        values[p.GetFieldOrder()] = std::move(text);
    }
    // Address options: each entry once, with the options of the parameter
    // that created it (the first one with that FieldOrder).
    for (std::size_t i = 0; i < headerParams.size(); ++i) {
        const TOrderedParamString& p = headerParams[i];
        bool seen = false;
        for (std::size_t j = 0; j < i && !seen; ++j) {
            seen = headerParams[j].GetFieldOrder() == p.GetFieldOrder();
        }
        if (seen) {
            continue;
        }
        std::string& value = values[p.GetFieldOrder()];
        if (p.GetMailAddress()) {
            KeepOnly(value, TMailAddressExtractor::HeaderAddressView(value));
        } else if (p.GetMailName()) {
            KeepOnly(value, TMailAddressExtractor::HeaderNameView(value));
        }
    }
}

// One pass in parameter order: each key is searched below the key line of
// the parameter found before it, one line holds at most one key, and while
// a multi-line value's end string is pending no key is found before the
// line that ends it.
void TFieldExtractor::FindKeyLines(TBodyLines body,
                                   const std::vector<TOrderedParamString>& bodyParams,
                                   std::vector<TKeyLine>& keyLines) {
    std::size_t restart = 0;
    std::string pendingEnd;
    bool pendingRegex = false;
    std::size_t p = 0;
    while (p < bodyParams.size()) {
        for (std::size_t i = restart; i < body.size(); ++i) {
            const std::string_view line = body[i];
            if (!pendingEnd.empty()) {
                if (!LineMatchesEnd(line, pendingEnd, pendingRegex)) {
                    continue;
                }
                pendingEnd.clear();
                pendingRegex = false;
            }
            const TOrderedParamString& param = bodyParams[p];
            const auto rest = MatchKey(param, line);
            if (!rest) {
                continue;
            }
            keyLines.push_back({i, p, *rest});
            if (!param.GetStartLine()) {
                ++i;  // the value line is neither a key line nor an end line
            }
            if (IsMultiLine(param)) {
                pendingEnd = param.GetEndStr();
                pendingRegex = !pendingEnd.empty() && param.GetEndStrRegExp();
            }
            restart = i + 1;
            if (++p == bodyParams.size()) {
                return;
            }
        }
        // The scan ran out for the current parameter: it is not in this
        // mail, and the next one is searched from below the last key line.
        ++p;
    }
}

// A key line stores its own value; a multi-line parameter then takes the
// lines below it until its end line (not taken), the next key line or the
// end of the body. Lines outside these ranges are not looked at.
void TFieldExtractor::CollectBodyValues(TBodyLines body,
                                        const std::vector<TOrderedParamString>& bodyParams,
                                        const std::vector<TKeyLine>& keyLines, TSlots& values) {
    for (std::size_t kk = 0; kk < keyLines.size(); ++kk) {
        const TKeyLine& key = keyLines[kk];
        const std::size_t i = key.line;
        const TOrderedParamString& k = bodyParams[key.param];
        std::string& value = values[k.GetFieldOrder()];
        if (k.GetStartLine()) {
            value.assign(key.rest);
        } else if (IsOneLine(k) && i + 1 < body.size()) {
            value.assign(body[i + 1]);
        } else {
            value.clear();
        }
        if (IsOneLine(k)) {
            if (!k.GetEndStr().empty()) {
                value = CutAtEndString(k, value);
            }
            if (k.GetTrim()) {
                TrimInPlace(value);
            }
            continue;
        }
        if (k.GetTrim()) {
            TrimInPlace(value);
        }
        const std::size_t stop = kk + 1 < keyLines.size() ? keyLines[kk + 1].line : body.size();
        const std::size_t end = CaptureEnd(body, k, i, stop);
        std::size_t room = value.size();
        for (std::size_t j = i + 1; j < end; ++j) {
            room += body[j].size() + kLineBreak.size();
        }
        value.reserve(room);
        const bool join = k.GetOneLine();
        const bool trim = k.GetTrim();
        for (std::size_t j = i + 1; j < end; ++j) {
            if (!join) {
                value.append(kLineBreak);
            }
            value.append(trim ? TValueText::TrimAllView(body[j]) : body[j]);
        }
    }
}

std::size_t TFieldExtractor::CaptureEnd(TBodyLines body, const TOrderedParamString& param,
                                        std::size_t keyLine, std::size_t stop) {
    const std::string& endStr = param.GetEndStr();
    const bool endRegex = !endStr.empty() && param.GetEndStrRegExp();
    std::size_t end = keyLine + 1;
    while (end < stop && (endStr.empty() || !LineMatchesEnd(body[end], endStr, endRegex))) {
        ++end;
    }
    return end;
}

std::vector<TFieldExtractor::TBodySpan> TFieldExtractor::LocateBodyValues(
    const TLines& lines, const std::vector<TOrderedParamString>& bodyParams) {
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    const TBodyLines body(views);
    std::vector<TKeyLine> keyLines;
    FindKeyLines(body, bodyParams, keyLines);
    std::vector<TBodySpan> spans;
    spans.reserve(keyLines.size());
    for (std::size_t kk = 0; kk < keyLines.size(); ++kk) {
        const std::size_t i = keyLines[kk].line;
        const TOrderedParamString& k = bodyParams[keyLines[kk].param];
        TBodySpan span{keyLines[kk].param, i, k.GetStartLine() ? i : i + 1, i + 1};
        if (IsMultiLine(k)) {
            const std::size_t stop = kk + 1 < keyLines.size() ? keyLines[kk + 1].line : body.size();
            span.end = CaptureEnd(body, k, i, stop);
        } else if (!k.GetStartLine()) {
            span.end = std::min(i + 2, body.size());
        }
        span.first = std::min(span.first, span.end);
        spans.push_back(span);
    }
    return spans;
}

void TFieldExtractor::FinishBodyValues(const std::vector<TOrderedParamString>& bodyParams,
                                       TSlots& values) {
    for (const TOrderedParamString& q : bodyParams) {
        std::string& w = values[q.GetFieldOrder()];
        if (IsMultiLine(q)) {
            if (!q.GetStartLine() && !q.GetOneLine()) {
                // The line break the collection put before the first line.
                w.erase(0, 2);
            }
            TValueText::StripTrailingLineBreaksInPlace(w);
        }
        if (q.GetAutoFormat() > 0) {
            w = TValueText::WrapText(w, q.GetAutoFormat());
        }
        if (q.GetMailAddress()) {
            KeepOnly(w, TMailAddressExtractor::MailAddressView(w));
        }
    }
}
