#include "gui/imap/TImapKeyring.h"

#include "gui/imap/TQtImapKeyring.h"

namespace {

TImapKeyring* installed = nullptr;

}  // namespace

TImapKeyring& TImapKeyring::Current() {
    static TQtImapKeyring desktop;
    return installed != nullptr ? *installed : desktop;
}

TImapKeyring* TImapKeyring::Install(TImapKeyring* keyring) {
    TImapKeyring* previous = installed;
    installed = keyring;
    return previous;
}
