// Builds mail records from arbitrary mail text: header blocks, boundaries,
// nested multiparts and transfer decodings must never crash or hang.

#include <cstdint>
#include <string_view>
#include <vector>

#include "base/LineSplitter.h"
#include "base/TKestrifyError.h"
#include "mail/TEudoraMail.h"
#include "mail/TMail.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> lines;
    TLineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line)) {
        lines.push_back(line);
    }
    TMailOptions options;
    options.warning = [](const std::string&) {};
    try {
        TMail mail(lines, options);
        mail.GetBoundary();
    } catch (const TKestrifyError&) {
        // a body the converters cannot take is reported, not a fault
    }
    try {
        TEudoraMail mail(lines, options);
    } catch (const TKestrifyError&) {
    }
    return 0;
}
