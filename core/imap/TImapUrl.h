#pragma once
// Where an IMAP store is: an IMAP URL (RFC 5092) as a project holds it.
//   imaps://user@host[:port]/FOLDER   TLS from the start (port 993)
//   imap://user@host[:port]/FOLDER    STARTTLS, required (port 143)
// The folder may be written as read (UTF-8) or %-encoded UTF-8; ";AUTH=XOAUTH2"
// after the user asks for a bearer token instead of a password, and
// ";UIDVALIDITY=" after the folder is ignored.

#include <string>
#include <string_view>

class TImapUrl {
  public:
    enum class TSecurity { kTls, kStartTls };
    enum class TAuth { kPassword, kXOAuth2 };

    // Throws TKestrifyError naming what is wrong with `utf8Url`.
    static TImapUrl Parse(std::string_view utf8Url);
    // Whether `text` starts with one of the two schemes.
    static bool IsImapUrl(std::string_view text);

    std::string host;  // without brackets for an IPv6 address
    int port = 993;
    TSecurity security = TSecurity::kTls;
    TAuth auth = TAuth::kPassword;
    std::string user;    // UTF-8, %-decoded
    std::string folder;  // UTF-8, %-decoded; INBOX when the URL names none
};
