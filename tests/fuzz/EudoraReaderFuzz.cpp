// Cuts arbitrary bytes into mails as the Eudora reader does and parses the
// first mails: no crash, hang or read outside the store.

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/TKestrifyError.h"
#include "mail/TEudoraParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TEudoraParser parser(
        TMappedFile::FromBytes(std::string(reinterpret_cast<const char*>(data), size)));
    const int count = std::min(parser.GetCount(), 64);
    for (int i = 0; i < count; ++i) {
        try {
            parser.GetMail(i);
        } catch (const TKestrifyError&) {
        }
    }
    return 0;
}
