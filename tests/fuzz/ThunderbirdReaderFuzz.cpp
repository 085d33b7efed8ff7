// The Thunderbird folder reader over arbitrary bytes: its status headers
// read straight from the bytes, then the mails it keeps.

#include <string_view>

#include "SplitReaderFuzz.h"
#include "mail/TMozillaStatus.h"
#include "mail/TThunderbirdParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TMozillaStatus::IsDeleted(std::string_view(reinterpret_cast<const char*>(data), size));
    return FuzzSplitReader<TThunderbirdParser>(data, size);
}
