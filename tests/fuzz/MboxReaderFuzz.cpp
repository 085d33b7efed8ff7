// The mbox reader over arbitrary bytes.

#include "SplitReaderFuzz.h"
#include "mail/TMBOXParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzSplitReader<TMBOXParser>(data, size);
}
