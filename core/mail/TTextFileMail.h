#pragma once
// A mail from a folder of plain text files: the file's lines are the body as
// stored; there are no headers and nothing is decoded.

#include "mail/TBasicMail.h"

class TTextFileMail : public TBasicMail {
  public:
    explicit TTextFileMail(TLines lines) : lines_(std::move(lines)) {}

    const THeaderMap& GetHeader() const override { return header_; }
    const TLines& GetBody() const override { return lines_; }
    std::string GetBoundary() override { return {}; }

  private:
    THeaderMap header_;
    TLines lines_;
};
