#pragma once
// Reader of a folder of plain text files: every file is one mail whose lines
// are its body, as stored.

#include <string>

#include "mail/TFolderParser.h"

class TTextFileParser : public TFolderParser {
  public:
    explicit TTextFileParser(const std::string& sjisFolder);

    std::unique_ptr<TBasicMail> GetMail(int index) override;
};
