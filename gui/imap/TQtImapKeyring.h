#pragma once
// The desktop's keyring (Secret Service or KWallet) through QtKeychain,
// under the service TImapKeyringName names. Never the insecure fallback
// file: without a keyring the password is asked for each time.

#include "gui/imap/TImapKeyring.h"

class TQtImapKeyring : public TImapKeyring {
  public:
    TRead Read(const QString& key) override;
    QString Write(const QString& key, const QString& password) override;
    QString Remove(const QString& key) override;
};
