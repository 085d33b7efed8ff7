#pragma once
// Who a mail is, independent of where it lies in its store: its Message-ID
// and a hash of its raw header block. Headers that mail programs rewrite
// when a mail is flagged or its store is rewritten (Status, X-Status,
// X-Mozilla-Status, X-UID, …) are left out of the hash, as are line endings,
// so a mail that is moved, copied or re-flagged keeps its identity.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

class TMailIdentity {
  public:
    // Hash of the Message-ID's text, 0 when the mail has none.
    std::uint64_t messageId = 0;
    std::uint64_t header1 = 0;
    std::uint64_t header2 = 0;

    // From the mail's raw lines (without their line breaks; a body may
    // follow the header block, it is not read).
    static TMailIdentity Of(std::span<const std::string_view> lines);
    // From a raw header block as one text, lines ended by LF or CRLF.
    static TMailIdentity OfHeader(std::string_view header);

    bool operator==(const TMailIdentity&) const = default;
};
