// Arbitrary bytes as an IMAP URL and as folder names: nothing may crash or
// read out of bounds, a URL never holds a line break or a zero byte, a name
// read from a server always spells back to what it came from (as written,
// or as the server's own bytes), and what is shown of it is UTF-8 without
// control characters. The reply guard comes to the same verdict however
// the bytes are split.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "base/TKestrifyError.h"
#include "base/Utf8Text.h"
#include "imap/TImapFolderName.h"
#include "imap/TImapReplyGuard.h"
#include "imap/TImapUrl.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const TImapUrl url = TImapUrl::Parse(text);
        FuzzCheck(!url.host.empty() && !url.user.empty() && !url.folder.empty());
        FuzzCheck(url.port >= 1 && url.port <= 65535);
        for (const std::string* part : {&url.user, &url.host, &url.folder}) {
            FuzzCheck(part->find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos);
        }
    } catch (const TKestrifyError&) {
    }
    const TImapReplyGuard::TLimits limits{
        .line = 256, .mail = 4096, .response = 8192, .untagged = 16, .progressBytes = 64};
    TImapReplyGuard whole(limits);
    TImapReplyGuard bytewise(limits);
    std::string byByte;
    for (std::size_t i = 0; i < text.size() && byByte.empty(); ++i) {
        byByte = bytewise.Feed(text.substr(i, 1));
    }
    FuzzCheck(whole.Feed(text) == byByte);

    const TImapFolderName::TRead read = TImapFolderName::Read(text);
    FuzzCheck(read.name == text || TImapFolderName::ToModifiedUtf7(read.name) == text);
    FuzzCheck(utf8::IsValid(read.display));
    for (const char c : read.display) {
        FuzzCheck(static_cast<unsigned char>(c) >= 0x20 && c != 0x7F);
    }
    return 0;
}
