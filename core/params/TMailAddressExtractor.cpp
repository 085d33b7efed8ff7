#include "params/TMailAddressExtractor.h"

#include <algorithm>

#include "base/LineSplitter.h"
#include "base/SjisText.h"
#include "regex/TJre.h"

namespace {

std::string_view NameBefore(std::string_view before) {
    before = sjis::TrimControl(before);
    if (before.empty()) {
        return before;
    }
    if (before.back() == '<') {
        before.remove_suffix(1);
        before = sjis::TrimControl(before);
    }
    if (!before.empty() && before.front() == '"' && before.back() == '"') {
        before = before.size() >= 2 ? before.substr(1, before.size() - 2) : std::string_view();
    }
    return before;
}

std::string_view NameAfter(std::string_view after) {
    after = sjis::TrimControl(after);
    if (after.size() >= 2 && after.front() == '(' && after.back() == ')') {
        return after.substr(1, after.size() - 2);
    }
    return {};
}

// Where the engine has to start looking for an address in `line`, or npos
// when the line holds no '@' character. An address starts in the run of
// printable ASCII before the first '@', so nothing earlier can match. Bytes
// are read the way the engine will see them: a lead byte without a valid
// trail byte stands alone (and is seen as '?', printable).
std::size_t SearchStart(std::string_view line) {
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        const auto c = static_cast<unsigned char>(line[i]);
        if (sjis::IsLeadByte(c)) {
            if (i + 1 < line.size() && sjis::IsTrailByte(static_cast<unsigned char>(line[i + 1]))) {
                i += 2;
                runStart = i;
            } else {
                ++i;
            }
            continue;
        }
        if (c == '@') {
            return runStart;
        }
        ++i;
        if (c <= 0x20 || c >= 0x7F) {
            runStart = i;
        }
    }
    return std::string_view::npos;
}

// The first "<...>" holding no blank: an address without a domain as the
// sender wrote it (possibly empty). Its position is npos when there is none.
struct TBracketed {
    std::size_t open = std::string_view::npos;
    std::string_view inside;
};

TBracketed BracketedAddress(std::string_view text) {
    // '<' and '>' are below every trail byte: no double-byte character holds them.
    for (std::size_t open = text.find('<'); open != std::string_view::npos;
         open = text.find('<', open + 1)) {
        const std::size_t close = text.find('>', open + 1);
        if (close == std::string_view::npos) {
            break;
        }
        const std::string_view inside = text.substr(open + 1, close - open - 1);
        const bool token = std::all_of(inside.begin(), inside.end(), [](char c) {
            return static_cast<unsigned char>(c) > 0x20 && c != '<';
        });
        if (token) {
            return {open, inside};
        }
    }
    return {};
}

}  // namespace

std::string_view TMailAddressExtractor::HeaderAddressView(std::string_view text) {
    const std::string_view address = MailAddressView(text);
    if (!address.empty() || !TJre::IsAvailable()) {
        return address;
    }
    return BracketedAddress(text).inside;
}

std::string_view TMailAddressExtractor::HeaderNameView(std::string_view text) {
    if (!MailAddressView(text).empty()) {
        return MailNameView(text);
    }
    const TBracketed bracketed = BracketedAddress(text);
    if (bracketed.open == std::string_view::npos || !TJre::IsAvailable()) {
        return {};
    }
    return NameBefore(text.substr(0, bracketed.open));
}

std::string_view TMailAddressExtractor::MailAddressView(std::string_view text) {
    if (!TJre::IsAvailable()) {
        return {};
    }
    // Name and address columns usually read the same header: the search of
    // the last text is remembered.
    struct TLastSearch {
        std::string text;
        std::size_t position = 0;
        std::size_t length = 0;
        bool valid = false;
    };
    thread_local TLastSearch last;
    if (last.valid && last.text == text) {
        return text.substr(last.position, last.length);
    }
    std::string_view address;
    TJre& jre = TJre::Instance();
    TLineSplitter splitter(text);
    std::string_view line;
    while (address.empty() && splitter.Next(line)) {
        const std::size_t start = SearchStart(line);
        if (start != std::string_view::npos) {
            address = jre.MatchView(kAddressPattern, line.substr(start));
        }
    }
    last.text.assign(text);
    last.position = address.empty() ? 0 : static_cast<std::size_t>(address.data() - text.data());
    last.length = address.size();
    last.valid = true;
    return address;
}

std::string TMailAddressExtractor::ExtractMailAddress(std::string_view text) {
    return std::string(MailAddressView(text));
}

std::string_view TMailAddressExtractor::MailNameView(std::string_view text) {
    const std::string_view address = MailAddressView(text);
    if (address.empty()) {
        return {};
    }
    // The first occurrence of the address text, byte for byte.
    const std::size_t pos = text.find(address);
    const std::string_view before = NameBefore(text.substr(0, pos));
    if (!before.empty()) {
        return before;
    }
    return NameAfter(text.substr(pos + address.size()));
}

std::string TMailAddressExtractor::ExtractMailName(std::string_view text) {
    return std::string(MailNameView(text));
}
