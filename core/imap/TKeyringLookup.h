#pragma once
// Where a password (or bearer token) for an IMAP account may be kept apart
// from the project: the desktop's keyring, or a stand-in in tests.

#include <optional>
#include <string>

class TKeyringLookup {
  public:
    virtual ~TKeyringLookup() = default;

    // The secret stored under `key` (TImapKeyringName::Key), or nothing when
    // there is none or no keyring can be reached. Never asks the user and
    // never throws for a keyring that is missing, locked or broken: the
    // caller goes on to the next source.
    virtual std::optional<std::string> Find(const std::string& key) = 0;
};
