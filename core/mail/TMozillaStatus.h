#pragma once
// The flags Thunderbird keeps in the headers of each mail of its folder
// files. A deleted mail stays in the file until the folder is compacted;
// only these headers say it is gone.

#include <cstdint>
#include <optional>
#include <string_view>

class TMozillaStatus {
  public:
    static constexpr std::uint32_t kDeleted = 0x0008;          // in X-Mozilla-Status
    static constexpr std::uint32_t kImapDeleted = 0x00200000;  // in X-Mozilla-Status2

    struct TFlags {
        std::optional<std::uint32_t> status;
        std::optional<std::uint32_t> status2;
    };

    // The flags in the header block of `mail` (its text from the separator
    // line on, which is skipped, up to a blank line or the next separator
    // line); the first of each header counts.
    static TFlags Read(std::string_view mail);
    // Whether the mail is deleted, locally or on the IMAP server.
    static bool IsDeleted(std::string_view mail);
    // The hexadecimal number at the start of a header value (blanks first),
    // at most eight digits; none when it starts with no digit.
    static std::optional<std::uint32_t> ParseHex(std::string_view value);
};
