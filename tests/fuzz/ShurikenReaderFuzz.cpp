// The Shuriken reader over arbitrary bytes.

#include "SplitReaderFuzz.h"
#include "mail/TShurikenParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzSplitReader<TShurikenParser>(data, size);
}
