#pragma once
// Where a mail lives in its store: what lets a run of only new mail pass
// over the mails an earlier run converted without reading them again. Every
// reader tells it (TBasicMailParser::Place); nothing else needs to know
// which reader it is.

#include <cstdint>
#include <filesystem>
#include <string>

struct TMailPlace {
    enum class TKind {
        Unknown,   // told by its identity alone
        InText,    // from byte `offset` on of the store file's text (StoreText)
        OwnFile,   // the file `file`, one mail each
        Numbered,  // number `number` of a store that numbers its mails (TNumbering)
    };
    TKind kind = TKind::Unknown;
    std::uint64_t offset = 0;
    std::filesystem::path file;
    std::uint32_t number = 0;

    // A store that numbers its mails in ascending order (an IMAP folder: its
    // UIDs, which name the same mails while its UIDVALIDITY stays), so that a
    // later run lists only the mails above the highest number it saw.
    struct TNumbering {
        std::string store;          // the store's name in a record (URL, port, folder)
        std::uint32_t epoch = 0;    // the numbers keep their mails while this stays
        std::uint32_t highest = 0;  // the highest number listed; 0 for none
        int total = 0;              // mails in the store, listed or not
    };
};
