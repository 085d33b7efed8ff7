// The Eudora reader over arbitrary bytes.

#include "SplitReaderFuzz.h"
#include "mail/TEudoraParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzSplitReader<TEudoraParser>(data, size);
}
