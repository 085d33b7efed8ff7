// The Thunderbird profile finder over arbitrary text: the input is cut at
// its first 0 byte into a profiles.ini and a prefs.js. Every profile the
// ini names lies at an absolute path, and every account name prefs.js gives
// is one whole, non-empty value.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "mail/TThunderbirdProfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = std::min(text.find('\0'), text.size());
    const std::string_view ini = text.substr(0, cut);
    const std::string_view prefs = cut < text.size() ? text.substr(cut + 1) : std::string_view();

    for (const auto& found : TThunderbirdProfiles::ParseIni(ini, "/home/user/.thunderbird")) {
        FuzzCheck(found.folder.is_absolute());
        FuzzCheck(found.folder.native().find('\0') == std::string::npos);
    }
    for (const auto& [folder, name] : TThunderbirdProfiles::ParsePrefs(prefs)) {
        FuzzCheck(!name.empty() && name.find_first_of("\"\n") == std::string::npos);
        FuzzCheck(folder.find_first_of("\"\n") == std::string::npos);
    }
    return 0;
}
