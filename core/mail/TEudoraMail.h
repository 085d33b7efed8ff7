#pragma once
// A mail from a Eudora mailbox. Eudora stores bodies already in the local
// character set, so the body is transfer-decoded (Base64, quoted-printable)
// but its bytes are not converted, whatever the charset label says. Header
// words are decoded as in any mail.

#include "mail/TMail.h"

class TEudoraMail : public TMail {
  public:
    explicit TEudoraMail(std::span<const std::string_view> lines, const TMailOptions& options = {},
                         const TMailOrigin& origin = {});
    explicit TEudoraMail(const TLines& lines, const TMailOptions& options = {});

  protected:
    void AppendConverted(std::string_view text, std::string& out) override;
};
