#pragma once
// Reader of a Unix mbox file: every line that begins with "From " starts a
// mail; the separator line itself is not part of the mail.

#include <memory>
#include <string>

#include "mail/TSplitFileParser.h"

class TMBOXParser : public TSplitFileParser {
  public:
    // Throws TKestrifyError when the file cannot be read. A large file is
    // searched for its mails on up to `threads` threads.
    explicit TMBOXParser(const std::string& sjisPath, int threads = 1);
    explicit TMBOXParser(std::unique_ptr<TMappedFile> file, int threads = 1);

    std::unique_ptr<TBasicMail> GetMail(int index) override;
};
