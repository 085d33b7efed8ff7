#pragma once
// The kinds of mail store, one row each: the number projects store as
// MAILTYPE, the names the programs give it, where its location points, how
// a store of it is recognised, its help page, how the desktop program
// browses for it, and its reader. Everything that differs between kinds is
// here or in the kind's reader: adding a kind is one row plus its reader.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "imap/TImapAccess.h"
#include "mail/TBasicMailParser.h"
#include "mail/TFolderShape.h"

// What opening a store needs besides its location.
struct TStoreOpening {
    int threads = 1;       // a large store file is searched for its mails on up to these
    TImapAccess imap;      // a server store's password and certificates
    bool preview = false;  // one mail at a time is shown: fetch a few ahead, not hundreds
};

class TStoreKind {
  public:
    // The numbers as projects store them; a number never changes once a
    // project may hold it.
    enum TNumber : int {
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

    // What the location names: a file, a folder, or a URL of a server.
    enum class TLocation { File, Folder, Url };
    // How the desktop program's browse button finds the location.
    enum class TBrowse {
        File,               // an open-file dialog (filter, suffix, Wine folder below)
        Folder,             // a folder dialog
        CheckedFolder,      // a folder dialog that takes only a folder of this kind
        ThunderbirdFolder,  // the chooser of a Thunderbird profile's folders
        ImapFolder,         // the IMAP connection dialog
    };
    // Where a Windows program under Wine keeps stores of the kind.
    enum class TWineFolder { None, OutlookExpress, Eudora };
    // When a path dropped on the window is taken as a store of the kind
    // (folders are always taken, as what their shape tells).
    enum class TDrop { Never, BySuffix, ByContent };

    struct TNames {
        const char* name;      // in the checks' messages (UTF-8): "Maildir 形式のフォルダ"
        const char* location;  // what the location must be: "…を指定してください。"
        const char* english;   // the command's English words: "a Maildir folder"
    };

    // How a store of the kind is recognised (TMailStoreCheck). The guesses
    // of all kinds are tried in the order of their rank, lowest first; a
    // project file is tried at kProjectRank and a single mail at kOneMailRank.
    struct TDetection {
        // File kinds: whether a file that is not blank is a store of the
        // kind; null: any file is.
        bool (*fits)(std::string_view bytes) = nullptr;
        // Whether the start of a file (at most TStoreProbe::kHeadSize bytes)
        // looks like the kind; null: never guessed.
        bool (*looks)(std::string_view head) = nullptr;
        // Folder kinds: the same on what the folder holds.
        bool (*fitsShape)(const TFolderShape& shape) = nullptr;
        bool (*looksShape)(const TFolderShape& shape) = nullptr;
        int rank = 0;
        // Kinds whose files look alike (mbox and Eudora): a store of one
        // given as the other gets no advice. Its number; -1: the kind's own.
        int family = -1;
    };
    static constexpr int kProjectRank = 20;
    static constexpr int kOneMailRank = 50;

    // The desktop program's words and browse button (UTF-8).
    struct TDesktop {
        const char* choice;  // the line of the kind list: "Maildir形式のフォルダから"
        const char* hint;    // the location box's hint: "status text|tool tip"
        TBrowse browse;
        const char* browseText = "";  // a folder dialog's caption, or a file dialog's filter
        const char* suffix = "";      // a file dialog starts on the location when it ends so
        TWineFolder wine = TWineFolder::None;
        TDrop drop = TDrop::Never;
    };

    using TOpen = std::unique_ptr<TBasicMailParser> (*)(const std::string& sjisLocation,
                                                        const TStoreOpening& opening);

    int number;
    TLocation location;
    int helpTopic;  // the kind's own help page
    TNames names;
    TDetection detection;
    TDesktop desktop;
    TOpen open;  // throws what the reader's constructor throws

    bool IsFile() const { return location == TLocation::File; }
    bool IsFolder() const { return location == TLocation::Folder; }
    bool IsRemote() const { return location == TLocation::Url; }
    int Family() const { return detection.family < 0 ? number : detection.family; }
    // The help of a location check: that of the first kind whose location is
    // of the same sort (every folder kind the folder page, every file kind
    // the DBX file page), which tells how to give a location at all.
    int LocationHelpTopic() const;

    // Every kind, by number (0, 1, …; no gaps).
    static std::span<const TStoreKind> All();
    static int Count() { return static_cast<int>(All().size()); }
    // The kind numbered `number`; null for a number no kind has.
    static const TStoreKind* Find(int number);
    // The same, throwing std::invalid_argument for an unknown number.
    static const TStoreKind& Get(int number);
    static bool IsKnown(int number) { return Find(number) != nullptr; }
};
