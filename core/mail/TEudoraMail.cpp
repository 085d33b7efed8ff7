#include "mail/TEudoraMail.h"

TEudoraMail::TEudoraMail(std::span<const std::string_view> lines, const TMailOptions& options,
                         const TMailOrigin& origin)
    : TMail(TDeferParse{}, options, origin) {
    Parse(lines);
}

TEudoraMail::TEudoraMail(const TLines& lines, const TMailOptions& options)
    : TEudoraMail(std::vector<std::string_view>(lines.begin(), lines.end()), options) {}

void TEudoraMail::AppendConverted(std::string_view text, std::string& out) {
    out.append(text);
}
