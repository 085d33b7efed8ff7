#pragma once
// Where the desktop program gets the password of an IMAP store: what this
// session was already given, else the desktop keyring, else the user is
// asked (and may have it kept in the keyring). An automatic run asks nobody:
// the keyring, else KESTRIFY_IMAP_PASSWORD. A password lives only in memory
// and the keyring, never in a project, the settings or a script.

#include <QString>
#include <optional>
#include <string>

#include "imap/TImapUrl.h"

class QWidget;

class TImapPasswords {
  public:
    // The keyring's key of the account `url` logs in to.
    static QString KeyOf(const TImapUrl& url);

    // The secret (UTF-8), or nothing when the user cancelled.
    static std::optional<std::string> ForDesktop(QWidget* parent, const TImapUrl& url);
    // Throws TKestrifyError saying where to put the password when neither
    // source has one.
    static std::string ForAutomaticRun(const TImapUrl& url);

    // Kept for the rest of the session (the connection dialog's password).
    static void Remember(const TImapUrl& url, const QString& password);
    // No longer kept for the session, no failure remembered: the next time
    // asks the keyring, else the user.
    static void Forget(const TImapUrl& url);
    // The store at `sjisLocation` could not be opened (a wrong or changed
    // password among other causes): the next time the user is asked, with
    // the keyring's password shown to be kept or replaced. Nothing for what
    // is no IMAP URL.
    static void OpenFailed(const std::string& sjisLocation);
};
