#pragma once
// Reader of a Eudora mailbox (.mbx): an mbox file whose mails are Eudora
// mails (bodies kept in the stored character set).

#include "mail/TMBOXParser.h"

class TEudoraParser : public TMBOXParser {
  public:
    using TMBOXParser::TMBOXParser;

    std::unique_ptr<TBasicMail> GetMail(int index) override;
};
