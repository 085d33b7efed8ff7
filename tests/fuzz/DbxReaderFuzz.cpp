// Reads arbitrary bytes as an Outlook Express folder file: every read must
// stay inside the file, and damaged trees and block chains must end.

#include <algorithm>
#include <cstdint>

#include "SplitReaderFuzz.h"
#include "base/TKestrifyError.h"
#include "mail/TDBXParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TDBXParser parser(TMappedFile::FromBuffer(data, size));
    int count = 0;
    try {
        count = std::min(parser.GetCount(), 64);
    } catch (const TKestrifyError&) {
        return 0;
    }
    FuzzFirstMails(parser, count);
    return 0;
}
