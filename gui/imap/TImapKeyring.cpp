#include "gui/imap/TImapKeyring.h"

#include "gui/base/UiText.h"

namespace {

TImapKeyring* installed = nullptr;

// Nothing installed (a tool, a test): no keyring, and never the user's.
class TNoKeyring : public TImapKeyring {
  public:
    TRead Read(const QString&) override { return {TFound::kUnreachable, {}, Problem()}; }
    QString Write(const QString&, const QString&) override { return Problem(); }
    QString Remove(const QString&) override { return Problem(); }

  private:
    static QString Problem() { return U("キーリングを使えません。"); }
};

}  // namespace

TImapKeyring& TImapKeyring::Current() {
    static TNoKeyring none;
    return installed != nullptr ? *installed : none;
}

TImapKeyring* TImapKeyring::Install(TImapKeyring* keyring) {
    TImapKeyring* previous = installed;
    installed = keyring;
    return previous;
}
