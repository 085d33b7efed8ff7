#pragma once
// Reader of a Unix mbox file: every line that begins with "From " starts a
// mail; the separator line itself is not part of the mail.

#include <memory>
#include <string>

#include "mail/TSplitFileParser.h"

class TMBOXParser : public TSplitFileParser {
  public:
    // Throws TKestrifyError when the file cannot be read.
    explicit TMBOXParser(const std::string& sjisPath);
    explicit TMBOXParser(std::unique_ptr<TMappedFile> file);

    std::unique_ptr<TBasicMail> GetMail(int index) override;
};
