#pragma once
// Creates the reader for one kind of mail store, by the mail type index that
// projects store as MAILTYPE and the main window lists.

#include <memory>
#include <string>

#include "imap/TImapAccess.h"
#include "mail/TBasicMailParser.h"

class TMailStoreFactory {
  public:
    enum TMailType {
        EmlFolder = 0,          // a folder of *.eml files
        DbxFile = 1,            // an Outlook Express 5 .dbx file
        MboxFile = 2,           // a Unix mbox file
        Shuriken = 3,           // a Shuriken / Shuriken Pro mail file
        EudoraMbx = 4,          // a Eudora .mbx file
        TextFolder = 5,         // a folder of plain text files, one mail each
        Maildir = 6,            // a Maildir folder (cur/, new/, tmp/)
        MhFolder = 7,           // an MH folder of numbered files
        ThunderbirdFolder = 8,  // one folder file of a Thunderbird profile
        Imap = 9,               // a folder on an IMAP server, located by an IMAP URL
    };
    static constexpr int MailTypeCount = 9;  // the local kinds, 0 .. MailTypeCount - 1

    static bool IsKnown(int mailType) {
        return (mailType >= 0 && mailType < MailTypeCount) || mailType == Imap;
    }
    // Kinds whose location is a URL rather than a path.
    static bool IsRemoteType(int mailType) { return mailType == Imap; }
    // Kinds whose location is a folder rather than a file.
    static bool IsFolderType(int mailType) {
        return mailType == EmlFolder || mailType == TextFolder || mailType == Maildir ||
               mailType == MhFolder;
    }

    // The reader of `mailType` for `sjisLocation` (a Shift_JIS path); a
    // large mbox or Thunderbird file is searched for its mails on up to `threads` threads.
    // Throws std::invalid_argument for an unknown type and what the reader's
    // constructor throws (TKestrifyError for a file that cannot be read).
    // `imap` is what an IMAP store needs besides its URL.
    static std::unique_ptr<TBasicMailParser> Create(int mailType, const std::string& sjisLocation,
                                                    int threads = 1, const TImapAccess& imap = {});
};
