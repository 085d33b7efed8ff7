#include "mail/TMBOXParser.h"

#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"

TMBOXParser::TMBOXParser(const std::string& sjisPath)
    : TMBOXParser(std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath))) {}

TMBOXParser::TMBOXParser(std::unique_ptr<TMappedFile> file) : TSplitFileParser(std::move(file)) {
    std::vector<std::uint64_t> starts;
    ScanLines([&](std::uint64_t offset, std::string_view line, bool) {
        if (line.starts_with("From ")) {
            starts.push_back(offset);
        }
    });
    SetStarts(std::move(starts));
}

std::unique_ptr<TBasicMail> TMBOXParser::GetMail(int index) {
    const std::vector<std::string_view> lines = MailLineViews(index);
    return std::make_unique<TMail>(lines, Options(), TMailOrigin{{}, index + 1});
}
