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
        // No '@' byte, no address: the engine need not look.
        if (line.find('@') != std::string_view::npos) {
            address = jre.MatchView(kAddressPattern, line);
        }
    }
    last.text.assign(text);
    last.position = address.empty() ? 0 : static_cast<std::size_t>(address.data() - text.data());
    last.length = address.size();
    last.valid = true;
    return address;
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
