#pragma once
// Creates the reader for one kind of mail store, by the number that
// projects store as MAILTYPE and the main window lists: the row of that kind
// in TStoreKind opens it. The kinds' names stand here too, as they are
// written everywhere (TMailStoreFactory::MboxFile).

#include <memory>
#include <string>

#include "imap/TImapAccess.h"
#include "mail/TBasicMailParser.h"
#include "mail/TStoreKind.h"

class TMailStoreFactory {
  public:
    using TMailType = TStoreKind::TNumber;
    using enum TStoreKind::TNumber;

    static bool IsKnown(int mailType) { return TStoreKind::IsKnown(mailType); }
    // Kinds whose location is a URL rather than a path.
    static bool IsRemoteType(int mailType) {
        const TStoreKind* kind = TStoreKind::Find(mailType);
        return kind != nullptr && kind->IsRemote();
    }
    // Kinds whose location is a folder rather than a file.
    static bool IsFolderType(int mailType) {
        const TStoreKind* kind = TStoreKind::Find(mailType);
        return kind != nullptr && kind->IsFolder();
    }

    // The reader of `mailType` for `sjisLocation` (a Shift_JIS path); a
    // large mbox or Thunderbird file is searched for its mails on up to `threads` threads.
    // Throws std::invalid_argument for an unknown type and what the reader's
    // constructor throws (TKestrifyError for a file that cannot be read).
    // `imap` is what an IMAP store needs besides its URL.
    static std::unique_ptr<TBasicMailParser> Create(int mailType, const std::string& sjisLocation,
                                                    int threads = 1, const TImapAccess& imap = {});
    static std::unique_ptr<TBasicMailParser> Create(int mailType, const std::string& sjisLocation,
                                                    const TStoreOpening& opening);
};
