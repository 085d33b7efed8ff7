#pragma once
// Reader of a Shuriken mail file: the file's first line is the separator, and
// every line equal to it (the first included) starts a mail.

#include <memory>
#include <string>

#include "mail/TSplitFileParser.h"

class TShurikenParser : public TSplitFileParser {
  public:
    // Throws TKestrifyError when the file cannot be read.
    explicit TShurikenParser(const std::string& sjisPath);
    explicit TShurikenParser(std::unique_ptr<TMappedFile> file);

    std::unique_ptr<TBasicMail> GetMail(int index) override;
};
