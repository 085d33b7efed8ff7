#include "mail/TMaildirParser.h"

#include "mail/TMaildirName.h"

namespace {

bool IsMail(std::string_view name) {
    return !name.starts_with('.') && !TMaildirName::IsTrashed(name);
}

}  // namespace

TMaildirParser::TMaildirParser(const std::string& sjisFolder) : TNumberedFileParser(sjisFolder) {
    // A folder in cur/ or new/ is no part of a Maildir.
    AddFiles("cur", &IsMail, TSubFolders::Skipped);
    AddFiles("new", &IsMail, TSubFolders::Skipped);
    Sort();
}
