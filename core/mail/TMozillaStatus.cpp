#include "mail/TMozillaStatus.h"

#include "base/SjisText.h"

namespace {

constexpr std::string_view kStatus = "X-MOZILLA-STATUS";

// Where the line at `from` ends (its CR or LF, or the end of the text).
std::size_t LineEnd(std::string_view text, std::size_t from) {
    while (from < text.size() && text[from] != '\n' && text[from] != '\r') {
        ++from;
    }
    return from;
}

}  // namespace

std::optional<std::uint32_t> TMozillaStatus::ParseHex(std::string_view value) {
    std::size_t i = 0;
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) {
        ++i;
    }
    std::uint32_t number = 0;
    std::size_t digits = 0;
    for (; i < value.size() && digits < 8; ++i, ++digits) {
        const int d = sjis::HexDigitValue(value[i]);
        if (d < 0) {
            break;
        }
        number = (number << 4) | static_cast<std::uint32_t>(d);
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return number;
}

TMozillaStatus::TFlags TMozillaStatus::Read(std::string_view mail) {
    TFlags flags;
    std::size_t pos = LineEnd(mail, 0);  // past the separator line
    while (pos < mail.size() && !(flags.status && flags.status2)) {
        // One line break: CRLF, LF or CR.
        pos += mail[pos] == '\r' && pos + 1 < mail.size() && mail[pos + 1] == '\n' ? 2 : 1;
        const std::size_t end = LineEnd(mail, pos);
        const std::string_view line = mail.substr(pos, end - pos);
        // The end of the header block, or a mail without one: the next
        // mail's separator is no header line.
        if (line.empty() || line.starts_with("From - ")) {
            break;
        }
        if (sjis::EqualsNoCase(line.substr(0, kStatus.size()), kStatus)) {
            const std::string_view rest = line.substr(kStatus.size());
            if (rest.starts_with(':') && !flags.status) {
                flags.status = ParseHex(rest.substr(1));
            } else if (rest.starts_with("2:") && !flags.status2) {
                flags.status2 = ParseHex(rest.substr(2));
            }
        }
        pos = end;
    }
    return flags;
}

bool TMozillaStatus::IsDeleted(std::string_view mail) {
    const TFlags flags = Read(mail);
    return (flags.status && (*flags.status & kDeleted) != 0) ||
           (flags.status2 && (*flags.status2 & kImapDeleted) != 0);
}
