// Arbitrary bytes as an IMAP URL and as folder names: nothing may crash or
// read out of bounds, a name read from a server always spells back to what
// it came from, and a UTF-8 name survives the round trip.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "base/TKestrifyError.h"
#include "imap/TImapFolderName.h"
#include "imap/TImapUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const TImapUrl url = TImapUrl::Parse(text);
        FuzzCheck(!url.host.empty() && !url.user.empty() && !url.folder.empty());
        FuzzCheck(url.port >= 1 && url.port <= 65535);
    } catch (const TKestrifyError&) {
    }
    const std::string utf8 = TImapFolderName::FromModifiedUtf7(text);
    try {
        FuzzCheck(TImapFolderName::FromModifiedUtf7(TImapFolderName::ToModifiedUtf7(utf8)) == utf8);
    } catch (const TKestrifyError&) {
        // A server's bytes need not be UTF-8.
    }
    return 0;
}
