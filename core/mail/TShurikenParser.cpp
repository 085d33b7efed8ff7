#include "mail/TShurikenParser.h"

#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"

TShurikenParser::TShurikenParser(const std::string& sjisPath)
    : TShurikenParser(std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath))) {}

TShurikenParser::TShurikenParser(std::unique_ptr<TMappedFile> file)
    : TSplitFileParser(std::move(file)) {
    std::string_view separator;
    std::size_t lines = 0;
    ScanLines([&](std::uint64_t offset, std::string_view line, bool whole) {
        if (lines++ == 0) {
            separator = line;
        }
        if (whole && line == separator) {
            AddStart(offset);
        }
    });
    if (lines < 2) {
        ClearStarts();  // a file of a single line has no mails
    }
}

std::unique_ptr<TBasicMail> TShurikenParser::GetMail(int index) {
    const std::span<const std::string_view> lines = MailLineViews(index);
    return std::make_unique<TMail>(lines, Options(), TMailOrigin{{}, index + 1});
}
