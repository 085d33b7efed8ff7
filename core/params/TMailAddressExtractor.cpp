#include "params/TMailAddressExtractor.h"

#include <algorithm>
#include <array>

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

// The bytes of kAddressPattern's two classes: before the '@' (note the
// range "+-/") and after the first character of the domain.
constexpr bool IsLocalByteSlow(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c >= '+' && c <= '/') ||
           std::string_view("_!#$%&*=?^{|}~").find(static_cast<char>(c)) != std::string_view::npos;
}
constexpr std::array<bool, 256> MakeLocalTable() {
    std::array<bool, 256> t{};
    for (int c = 0; c < 256; ++c) {
        t[c] = IsLocalByteSlow(static_cast<unsigned char>(c));
    }
    return t;
}
// By table: the search above is a memchr call per byte at run time.
constexpr std::array<bool, 256> kLocalByte = MakeLocalTable();
bool IsLocalByte(unsigned char c) {
    return kLocalByte[c];
}
constexpr bool IsAlnumByte(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
constexpr bool IsDomainByte(unsigned char c) {
    return IsAlnumByte(c) || c == '_' || c == '.' || c == '-';
}

// The engine's leftmost match of kAddressPattern in `line`, found without
// it: every run of local characters can only end at an '@', so the match
// starts where the run before the first usable '@' starts, and the greedy
// domain takes every domain byte after it. Characters are read as the
// engine reads them: a valid double-byte character matches neither class,
// a lead byte without a trail byte is repaired to '?' (a local character).
std::string_view AddressIn(std::string_view line) {
    const std::size_t n = line.size();
    std::size_t runStart = 0;
    std::size_t i = 0;
    while (i < n) {
        auto c = static_cast<unsigned char>(line[i]);
        if (sjis::IsLeadByte(c)) {
            if (i + 1 < n && sjis::IsTrailByte(static_cast<unsigned char>(line[i + 1]))) {
                i += 2;
                runStart = i;
                continue;
            }
            c = '?';
        }
        ++i;
        if (c == '@' && runStart + 1 < i && i < n &&
            IsAlnumByte(static_cast<unsigned char>(line[i]))) {
            std::size_t end = i + 1;
            while (end < n && IsDomainByte(static_cast<unsigned char>(line[end]))) {
                ++end;
            }
            return line.substr(runStart, end - runStart);
        }
        if (!IsLocalByte(c)) {
            runStart = i;
        }
    }
    return {};
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
    TLineSplitter splitter(text);
    std::string_view line;
    while (address.empty() && splitter.Next(line)) {
        address = AddressIn(line);
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
