// The Maildir name parser over arbitrary names: the input is cut in two at
// its first 0 byte and the halves are parsed and ordered both ways.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "mail/TMaildirName.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = std::min(text.find('\0'), text.size());
    const std::string_view a = text.substr(0, cut);
    const std::string_view b = cut < text.size() ? text.substr(cut + 1) : std::string_view();
    TMaildirName::TimeDigits(a);
    TMaildirName::IsTrashed(b);
    TMaildirName::SizeHint(a);
    // A strict order: never both ways, never a name before itself.
    if ((TMaildirName::Before(a, b) && TMaildirName::Before(b, a)) || TMaildirName::Before(a, a)) {
        std::abort();
    }
    return 0;
}
