#include "mail/TTextFileParser.h"

#include "mail/TTextFileMail.h"

TTextFileParser::TTextFileParser(const std::string& sjisFolder)
    : TFolderParser(sjisFolder, [](std::string_view) { return true; }) {}

std::unique_ptr<TBasicMail> TTextFileParser::GetMail(int index) {
    return std::make_unique<TTextFileMail>(GetMailLines(index));
}
