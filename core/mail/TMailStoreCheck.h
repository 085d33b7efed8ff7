#pragma once
// Whether a file given as a DBX, mbox, Shuriken or Eudora store looks like
// one, and what it looks like instead. A wrong mail type otherwise gives an
// empty table or an error about the first mail, which tells the user
// nothing about the real mistake.

#include <optional>
#include <string>
#include <string_view>

class TMailStoreCheck {
  public:
    // What a file looks like, besides the mail types of TMailStoreFactory.
    static constexpr int LooksLikeProject = -1;
    static constexpr int LooksLikeOneMail = -2;  // a single mail file: its folder is a store

    struct TResult {
        bool fits = true;
        std::optional<int> looksLike;  // a mail type, or one of the values above
    };

    // Checks the file at `sjisPath` for `mailType`; folder types, blank files
    // and files that cannot be opened always fit (the readers report those).
    static TResult Check(int mailType, const std::string& sjisPath);
    // The same on the file's bytes.
    static TResult CheckBytes(int mailType, std::string_view bytes);
    // What the bytes look like, if anything.
    static std::optional<int> Guess(std::string_view bytes);
};
