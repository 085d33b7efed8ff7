#include "params/TMailAddressExtractor.h"

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

}  // namespace

std::string_view TMailAddressExtractor::FindAddress(std::string_view text) {
    if (!TJre::IsAvailable()) {
        return {};
    }
    TJre& jre = TJre::Instance();
    TLineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line)) {
        const std::string_view address = jre.MatchView(kAddressPattern, line);
        if (!address.empty()) {
            return address;
        }
    }
    return {};
}

std::string TMailAddressExtractor::ExtractMailAddress(std::string_view text) {
    return std::string(FindAddress(text));
}

std::string TMailAddressExtractor::ExtractMailName(std::string_view text) {
    const std::string_view address = FindAddress(text);
    if (address.empty()) {
        return {};
    }
    // The first occurrence of the address text, byte for byte.
    const std::size_t pos = text.find(address);
    const std::string_view before = NameBefore(text.substr(0, pos));
    if (!before.empty()) {
        return std::string(before);
    }
    return std::string(NameAfter(text.substr(pos + address.size())));
}
