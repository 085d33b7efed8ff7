#include "mail/TMHParser.h"

bool TMHParser::IsMailName(std::string_view name) {
    return !name.empty() && name.find_first_not_of("0123456789") == std::string_view::npos;
}

TMHParser::TMHParser(const std::string& sjisFolder) : TNumberedFileParser(sjisFolder) {
    AddFiles("", &TMHParser::IsMailName, TSubFolders::Silent);  // nested folders ("2024")
    Sort();
}
