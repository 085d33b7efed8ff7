#include "mail/TShurikenParser.h"

#include "base/LineSplitter.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"

TShurikenParser::TShurikenParser(const std::string& sjisPath)
    : TShurikenParser(std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath))) {}

TShurikenParser::TShurikenParser(std::unique_ptr<TMappedFile> file)
    : TSplitFileParser(std::move(file)) {
    TLineSplitter splitter(Text());
    std::string_view separator;
    if (!splitter.Next(separator)) {
        return;
    }
    std::vector<std::uint64_t> starts{0};
    bool secondLine = false;
    std::string_view line;
    for (std::size_t at = splitter.Position(); splitter.Next(line); at = splitter.Position()) {
        secondLine = true;
        if (line == separator) {
            starts.push_back(at);
        }
    }
    if (!secondLine) {
        return;  // a file of a single line has no mails
    }
    SetStarts(std::move(starts));
}

std::unique_ptr<TBasicMail> TShurikenParser::GetMail(int index) {
    const std::vector<std::string_view> lines = MailLineViews(index);
    return std::make_unique<TMail>(lines, Options());
}
