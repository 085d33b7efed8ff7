#pragma once
// The desktop keyring as the IMAP windows use it: one password per
// TImapKeyringName key. The program reaches it through Current(); main()
// installs the desktop's (TQtImapKeyring), tests a keyring of their own, so
// that no test touches the user's.

#include <QString>

class TImapKeyring {
  public:
    enum class TFound { kYes, kNo, kUnreachable };
    struct TRead {
        TFound found = TFound::kNo;
        QString password;  // when found
        QString problem;   // why the keyring is unreachable
    };

    virtual ~TImapKeyring() = default;

    // Waits for the keyring while the windows keep painting.
    virtual TRead Read(const QString& key) = 0;
    // An empty text when stored; else why not.
    virtual QString Write(const QString& key, const QString& password) = 0;
    // An empty text when removed or not there; else why not.
    virtual QString Remove(const QString& key) = 0;

    // Nothing installed: a keyring that cannot be reached.
    static TImapKeyring& Current();
    // Installs a keyring (nullptr: none) and returns the previous one. The
    // caller keeps ownership.
    static TImapKeyring* Install(TImapKeyring* keyring);
};

// Installs a keyring for the lifetime of the scope.
class TImapKeyringScope {
  public:
    explicit TImapKeyringScope(TImapKeyring& keyring)
        : previous_(TImapKeyring::Install(&keyring)) {}
    ~TImapKeyringScope() { TImapKeyring::Install(previous_); }
    TImapKeyringScope(const TImapKeyringScope&) = delete;
    TImapKeyringScope& operator=(const TImapKeyringScope&) = delete;

  private:
    TImapKeyring* previous_;
};
