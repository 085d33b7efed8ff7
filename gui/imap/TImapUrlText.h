#pragma once
// The IMAP URL (RFC 5092) that the connection dialog writes into the mail
// location: TImapUrl::Parse reads back exactly what went in. Japanese
// folder names stay readable where the project (Shift_JIS) can hold them;
// other characters, and those the URL itself uses, are %-encoded UTF-8.

#include <QString>

#include "imap/TImapUrl.h"

class TImapUrlText {
  public:
    static QString Build(const TImapUrl& url);
    // The port a security mode uses when the URL names none.
    static int DefaultPort(TImapUrl::TSecurity security) {
        return security == TImapUrl::TSecurity::kTls ? 993 : 143;
    }
};
