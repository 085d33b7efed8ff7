#include "mail/TMaildirParser.h"

#include "mail/TMaildirName.h"

namespace {

bool IsMail(std::string_view name) {
    return !name.starts_with('.') && !TMaildirName::IsTrashed(name);
}

}  // namespace

TMaildirParser::TMaildirParser(const std::string& sjisFolder) : TNumberedFileParser(sjisFolder) {
    AddFiles("cur", &IsMail);
    AddFiles("new", &IsMail);
    Sort();
}
