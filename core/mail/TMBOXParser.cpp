#include "mail/TMBOXParser.h"

#include "base/LineSplitter.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"

TMBOXParser::TMBOXParser(const std::string& sjisPath)
    : TMBOXParser(std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath))) {}

TMBOXParser::TMBOXParser(std::unique_ptr<TMappedFile> file) : TSplitFileParser(std::move(file)) {
    std::vector<std::uint64_t> starts;
    TLineSplitter splitter(Text());
    std::string_view line;
    for (std::size_t at = 0; splitter.Next(line); at = splitter.Position()) {
        if (line.starts_with("From ")) {
            starts.push_back(at);
        }
    }
    SetStarts(std::move(starts));
}

std::unique_ptr<TBasicMail> TMBOXParser::GetMail(int index) {
    const std::vector<std::string_view> lines = MailLineViews(index);
    return std::make_unique<TMail>(lines, Options());
}
