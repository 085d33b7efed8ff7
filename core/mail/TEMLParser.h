#pragma once
// Reader of a folder of mail files copied out of a mail client: every file
// whose name ends in ".eml" (in any case) is one mail.

#include <string>

#include "mail/TFolderParser.h"

class TEMLParser : public TFolderParser {
  public:
    explicit TEMLParser(const std::string& sjisFolder);

    std::unique_ptr<TBasicMail> GetMail(int index) override;
};
