#pragma once
// Chooses the mails of a store that were not converted into an output yet,
// as cheaply as the store allows:
// - a store file cut into mails (mbox, …) that only grew since the last run
//   (same text up to the old end, checked by a hash of the last converted
//   mail) is read from that mail on;
// - a folder store skips files whose name, size and modification time were
//   seen;
// - every other mail is told by its identity: its Message-ID when that is
//   unique in the store (so a re-flagged or moved mail is still known),
//   else its Message-ID together with its header hash.
// Nothing is ever converted again for want of a fast path.

#include <cstdint>
#include <string>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "state/TMailIdentity.h"
#include "state/TOnlyNewRecord.h"

class TNewMailSelector {
  public:
    struct TSelection {
        std::vector<int> indexes;                           // the new mails, in store order
        std::vector<TMailIdentity> identities;              // of each new mail
        std::vector<TOnlyNewRecord::TSeenFile> files;       // of each new mail (folder stores)
        std::vector<TOnlyNewRecord::TSeenFile> knownFiles;  // unseen files of known mails
        int skipped = 0;                                    // mails found already converted
        int unlisted = 0;               // of those, the ones an IMAP folder did not even list
        TOnlyNewRecord::TStoreEnd end;  // where the store ends now (store files)
    };

    // `store`: the reader (GetCount already asked or not); `mailType` and
    // `sjisLocation` name the store in the record.
    static TSelection Select(TBasicMailParser& store, int mailType, const std::string& sjisLocation,
                             TOnlyNewRecord& record);

    // Records in `record` (staged) what a run that converted the first
    // `converted` new mails has written; the store's end only when it
    // converted them all.
    static void Stage(const TSelection& selection, int converted, TOnlyNewRecord& record);
};
