#pragma once
// Which entries of a store kept as a folder (Maildir, MH, a folder of mail
// files) are its mails: plain files, and links whose target is a plain file
// inside the store's folder. A link out of the store would put a file the
// user never chose (a private key, a password file) into the CSV; a FIFO
// or a device would stall or flood the reader. Readers skip the others and
// count them, and open a mail without following a link they did not check.

#include <cstdint>
#include <filesystem>

#include "base/TFd.h"

class TStoreBoundary {
  public:
    // `root`: the store's folder (a link to it is fine: its target counts).
    explicit TStoreBoundary(const std::filesystem::path& root);

    // True when the link `path` ends, link after link, at a plain file
    // inside the store; false for a link out, a loop or a link to nothing.
    bool IsMailLink(const std::filesystem::path& path) const;

    // Opens the entry `name` of the folder open as `folderFd` (named
    // `folder`; `name` alone when folderFd is AT_FDCWD) for reading, without
    // following a link IsMailLink would not take. Throws TKestrifyError
    // naming the file when it cannot be opened.
    TFd Open(int folderFd, const std::filesystem::path& folder, const char* name) const;
    // The size of the file open as `fd` now, which is what is read of it
    // (a file that grows meanwhile is not followed). Throws TKestrifyError
    // naming `path` when it is no plain file (a FIFO, a device).
    static std::uint64_t PlainFileSize(int fd, const std::filesystem::path& path);

  private:
    // The plain file a link ends at, when it lies inside the store; empty
    // otherwise.
    std::filesystem::path Target(const std::filesystem::path& path) const;

    std::filesystem::path root_;  // without links
};
