#pragma once
// What a folder holds, as far as telling the folder stores apart goes
// (TMailStoreCheck::Shape finds it; each folder kind's row of TStoreKind
// judges it).

struct TFolderShape {
    bool maildir = false;   // cur/ and new/ folders
    bool numbered = false;  // files named by a number
    bool mhMarker = false;  // .mh_sequences or Claws Mail's files
    bool eml = false;       // *.eml files

    // Numbered files or MH's marker files, and no Maildir.
    bool LooksMh() const { return !maildir && (numbered || mhMarker); }
};
