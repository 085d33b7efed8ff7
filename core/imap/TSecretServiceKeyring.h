#pragma once
// The desktop's keyring through the Secret Service (libsecret): the entry
// the desktop program stores with QtKeychain, found by the same attributes
// (TImapKeyringName), so both programs share one password. Only an unlocked
// entry is read (no unlock prompt, so a run from cron never waits), and
// only when a D-Bus session bus is named: nothing is started to find one.

#include "imap/TKeyringLookup.h"

class TSecretServiceKeyring : public TKeyringLookup {
  public:
    std::optional<std::string> Find(const std::string& key) override;

  private:
    static bool SessionBusNamed();
};
