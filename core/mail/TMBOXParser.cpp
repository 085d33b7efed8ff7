#include "mail/TMBOXParser.h"

#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"

TMBOXParser::TMBOXParser(const std::string& sjisPath)
    : TMBOXParser(std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath))) {}

// A line starts at the text's first byte and after every CR or LF; after a
// 0 byte the text goes on without a new line. So a separator is every
// "From " preceded by CR, LF or nothing, and the text is searched for the
// rare "From " instead of being cut into lines.
TMBOXParser::TMBOXParser(std::unique_ptr<TMappedFile> file) : TSplitFileParser(std::move(file)) {
    constexpr std::string_view kSeparator = "From ";
    const std::string_view text = Text();
    for (std::size_t at = text.find(kSeparator); at != std::string_view::npos;
         at = text.find(kSeparator, at + kSeparator.size())) {
        if (at == 0 || text[at - 1] == '\n' || text[at - 1] == '\r') {
            AddStart(at);
        }
    }
}

std::unique_ptr<TBasicMail> TMBOXParser::GetMail(int index) {
    const std::span<const std::string_view> lines = MailLineViews(index);
    return std::make_unique<TMail>(lines, Options(), TMailOrigin{{}, index + 1});
}
