#pragma once
// Reader of a Maildir folder (mutt, notmuch, mbsync, offlineimap, KMail,
// Evolution, Dovecot): every file in its cur/ and new/ is one mail, in the
// order of arrival its name tells. tmp/ holds mails still being delivered,
// dot files are no mails, and mails flagged T (trashed) are skipped.
// Maildir++ sub-folders (".Sub/") are folders of their own.

#include <string>

#include "mail/TNumberedFileParser.h"

class TMaildirParser : public TNumberedFileParser {
  public:
    // Throws TKestrifyError when cur/ or new/ cannot be listed.
    explicit TMaildirParser(const std::string& sjisFolder);
};
