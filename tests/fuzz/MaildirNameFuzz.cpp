// The Maildir name parser over arbitrary names: the input is cut in two at
// its first 0 byte and the halves are parsed and ordered both ways.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
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
    // Keys that differ order names of the same time as Compare does.
    const auto keyOrder = [](std::string_view x, std::string_view y) {
        const std::uint64_t kx = TMaildirName::OrderKey(x);
        const std::uint64_t ky = TMaildirName::OrderKey(y);
        return kx < ky ? -1 : kx > ky ? 1 : 0;
    };
    const auto agree = [](int keys, int names) { return keys == 0 || keys == names; };
    const std::string timedA = "7." + std::string(a);
    const std::string timedB = "0007." + std::string(b);
    if (!agree(keyOrder(timedA.substr(1), timedB.substr(4)),
               TMaildirName::Compare(timedA, timedB)) ||
        (TMaildirName::TimeDigits(a) == 0 && TMaildirName::TimeDigits(b) == 0 &&
         !agree(keyOrder(a, b), TMaildirName::Compare(a, b)))) {
        std::abort();
    }
    // A strict order: never both ways, never a name before itself.
    if ((TMaildirName::Before(a, b) && TMaildirName::Before(b, a)) || TMaildirName::Before(a, a)) {
        std::abort();
    }
    return 0;
}
