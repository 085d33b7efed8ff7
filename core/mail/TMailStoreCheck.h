#pragma once
// Whether a file or folder given as a store of some kind looks like one, and
// what it looks like instead. A wrong mail type otherwise gives an
// empty table or an error about the first mail, which tells the user
// nothing about the real mistake.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "mail/TFolderShape.h"

class TMailStoreCheck {
  public:
    // What a file looks like, besides the kinds of TStoreKind.
    static constexpr int LooksLikeProject = -1;
    static constexpr int LooksLikeOneMail = -2;  // a single mail file: its folder is a store

    struct TResult {
        bool fits = true;
        std::optional<int> looksLike;  // a mail type, or one of the values above
    };

    // Checks the file or folder at `sjisPath` for `mailType`; blank files,
    // and files and folders that cannot be read always fit (the readers
    // report those).
    static TResult Check(int mailType, const std::string& sjisPath);
    // The same on the file's bytes.
    static TResult CheckBytes(int mailType, std::string_view bytes);
    // What the bytes look like, if anything.
    static std::optional<int> Guess(std::string_view bytes);
    // What the file or folder at `sjisPath` looks like, for a path given
    // without a kind (dropped on the window): a folder is a Maildir, an MH
    // folder or else a folder of mail files; a file is what Guess tells,
    // or a Thunderbird folder when it is blank and its index (name.msf)
    // lies beside it. Nullopt for what looks like nothing or is not there.
    static std::optional<int> Detect(const std::string& sjisPath);

    // The Japanese name of a kind of store in the check's messages (UTF-8):
    // "Maildir 形式のフォルダ" (TStoreKind's name); empty for an unknown kind.
    static const char* KindName(int mailType);
    // "…ではないようです。" for a store that does not fit `mailType`, and
    // "…のようです。" when it looks like another kind (UTF-8); empty when it fits.
    static std::string Message(int mailType, const TResult& result);

    // What a folder holds, as far as telling folder stores apart goes.
    using TFolderShape = ::TFolderShape;
    static TFolderShape Shape(const std::filesystem::path& folder);
    // The check of a folder store on what its folder holds.
    static TResult CheckShape(int mailType, const TFolderShape& shape);
};
