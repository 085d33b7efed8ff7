#include "mail/TEMLParser.h"

#include "base/SjisText.h"
#include "mail/TMail.h"

namespace {

bool IsEmlName(std::string_view name) {
    constexpr std::string_view kExt = ".eml";
    if (name.size() < kExt.size()) {
        return false;
    }
    return sjis::EqualsNoCase(name.substr(name.size() - kExt.size()), kExt);
}

}  // namespace

TEMLParser::TEMLParser(const std::string& sjisFolder) : TFolderParser(sjisFolder, &IsEmlName) {}

std::unique_ptr<TBasicMail> TEMLParser::GetMail(int index) {
    const std::unique_ptr<TMappedFile> file = OpenMail(index);
    const std::span<const std::string_view> lines = SplitLines(*file);
    // The name as a view into the listed path: no copy unless a warning needs it.
    std::string_view name = Files()[static_cast<std::size_t>(index)].native();
    name.remove_prefix(name.rfind('/') + 1);
    return std::make_unique<TMail>(lines, Options(), TMailOrigin{name});
}
