// Reads arbitrary bytes as an Outlook Express folder file: every read must
// stay inside the file, and damaged trees and block chains must end.

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/TKestrifyError.h"
#include "mail/TDBXParser.h"
#include "state/TMailIdentity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TDBXParser parser(TMappedFile::FromBuffer(data, size));
    int count = 0;
    try {
        count = std::min(parser.GetCount(), 64);
    } catch (const TKestrifyError&) {
        return 0;
    }
    std::string header;
    for (int i = 0; i < count; ++i) {
        try {
            parser.GetMail(i);
            header.clear();
            parser.AppendRawHeader(i, header);
            TMailIdentity::OfHeader(header);
        } catch (const TKestrifyError&) {
        }
    }
    return 0;
}
