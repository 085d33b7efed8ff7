#include "mail/TMBOXParser.h"

#include "codeconv/TSjisUnicode.h"
#include "mail/SeparatorSearch.h"
#include "mail/TMail.h"

namespace {

constexpr std::string_view kSeparator = "From ";

}  // namespace

TMBOXParser::TMBOXParser(const std::string& sjisPath, int threads)
    : TMBOXParser(std::make_unique<TMappedFile>(TSjisUnicode::ToPath(sjisPath)), threads) {}

TMBOXParser::TMBOXParser(std::unique_ptr<TMappedFile> file, int threads)
    : TSplitFileParser(std::move(file)) {
    const std::string_view text = Text();
    if (text.starts_with(kSeparator)) {
        AddStart(0);
    }
    IndexInPieces(threads, [text](std::size_t from, std::size_t to, auto&& add) {
        FindSeparatorLines(text, kSeparator, from, to, add);
    });
}

std::unique_ptr<TBasicMail> TMBOXParser::GetMail(int index) {
    const std::span<const std::string_view> lines = MailLineViews(index);
    return std::make_unique<TMail>(lines, Options(), TMailOrigin{{}, index + 1});
}
