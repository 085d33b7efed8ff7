#pragma once
// Where the command finds the IMAP password (or the XOAUTH2 bearer token):
// the desktop's keyring, where the desktop program keeps it, when one is
// reachable and holds it; else the environment variable
// KESTRIFY_IMAP_PASSWORD; else the file given with --password-file. Never
// from the project or the command line itself, where other users could
// read it.

#include <optional>
#include <string>

#include "imap/TImapAccess.h"
#include "imap/TKeyringLookup.h"

class TImapSecret {
  public:
    static constexpr const char* kEnvironmentName = TImapAccess::kPasswordVariable;

    // The secret for the account `utf8Url` names, or empty when no source
    // gives one. Throws TUsageError for a password file that is not the
    // user's own regular file, that others may read, or that cannot be
    // read.
    static std::string Find(const std::optional<std::string>& passwordFile,
                            const std::string& utf8Url, TKeyringLookup& keyring);
    // The same with the desktop's Secret Service as the keyring.
    static std::string Find(const std::optional<std::string>& passwordFile,
                            const std::string& utf8Url);
    // The first line of the file at `utf8Path`, checked as Find says.
    static std::string FromFile(const std::string& utf8Path);
};
