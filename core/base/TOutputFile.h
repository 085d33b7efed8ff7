#pragma once
// Writes a file that belongs to the user without destroying what it should
// not. How the target is written is decided once, when it is opened:
//
// - Renamed: a missing target, or a regular file with one link, owned by the
//   running user, in a folder the user may write, whose group and extended
//   attributes the new file can take. Everything goes to a temporary file
//   beside it (private until the end), flushed and renamed over it by Commit
//   with the old mode, group and attributes, so a failure or a stop leaves
//   the old file whole. The old file is locked (flock) for the rename, so an
//   append under way finishes first.
// - InPlace: any other regular file (someone else's, hard-linked, in a folder
//   the user may not write). The new text is kept in a scratch file until
//   Commit, which makes sure the target has room for it (fallocate) and only
//   then copies it over the old text under a lock (flock), so owner, mode and
//   links stay and a full disk leaves the old file untouched.
// - Appended: append mode on a regular file. Locked (flock) so two runs
//   cannot interleave, and reopened when the name was renamed over meanwhile;
//   anything that fails (a write, the flush, the close, a stop) cuts the file
//   back to its old length.
// - Stream: not a regular file (a FIFO, a terminal, a device), or the
//   caller's own descriptor named as /dev/stdout, /dev/fd/N or
//   /proc/self/fd/N (also through links). Written straight through at the
//   descriptor's offset: never renamed over, truncated, backed up or read.
//
// Nothing is ever created in /dev, and no temporary file is made beside the
// target but the Renamed one. Temporary files of this target left by a run
// that was killed are removed when the next one opens it. A stop (the run's
// `stop` token) is checked before each write, after each partial
// or interrupted one and while waiting to open or lock; it counts until
// Commit begins: from then on the new file is saved. A stream caller may feed
// Write() any number of times before Commit().

#include <sys/types.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

class TOutputFile {
  public:
    // RenamedOnly: Replace where the target is Renamed; any other target is
    // left alone, not even opened (IsOpen() false), for a caller that then
    // writes it another way.
    enum class TMode { Replace, Append, RenamedOnly };
    enum class TKind { Renamed, InPlace, Appended, Stream };

    // What an appended file already holds (nothing for the other kinds).
    struct TExisting {
        long long size = 0;
        // The file's first bytes (up to 64 KiB, so the last character may be
        // cut); empty when the file cannot be read.
        std::string head;
        bool endsInLineBreak = true;  // also when empty or unreadable
    };

    // Owner, group and permission bits for the file written by rename (a
    // backup takes its original's); the owner only when running as root.
    struct TLook {
        mode_t mode = 0600;
        uid_t uid = 0;
        gid_t gid = 0;
    };

    TOutputFile(const std::filesystem::path& target, TMode mode, std::stop_token stop = {},
                std::optional<TLook> look = {});
    ~TOutputFile();
    TOutputFile(const TOutputFile&) = delete;
    TOutputFile& operator=(const TOutputFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    TKind Kind() const { return kind_; }
    // The file written: links followed.
    const std::filesystem::path& Target() const { return target_; }
    const TExisting& Existing() const { return existing_; }

    // Writes all of `data`. After the first failure every call fails.
    bool Write(std::string_view data);
    // Finishes the file (see the kinds above). False, and the target as it
    // was, when anything failed or a stop came first.
    bool Commit();
    // Gives up: the target stays (or is cut back to) what it was, except an
    // in-place rewrite already begun.
    void Abort();

    // errno of the first failure (EINTR when stopped), 0 when none.
    int Error() const { return error_; }
    bool Stopped() const { return error_ == EINTR; }

    // The whole replacement in one call; `error` gets Error().
    static bool WriteWhole(const std::filesystem::path& target, std::string_view content,
                           int* error = nullptr);
    // Whether a target of that kind may be copied to a backup: only regular
    // files are (a device or FIFO would be read without end).
    static bool IsRegularFile(const std::filesystem::path& target);
    // The descriptor of this process that `target` names (/dev/stdout,
    // /dev/fd/N, /proc/self/fd/N, or a link to one of them), if any.
    static std::optional<int> CallerDescriptor(const std::filesystem::path& target);

  private:
    void OpenRegular(const std::filesystem::path& target, const struct stat& info, TMode mode);
    void OpenRenamed(const std::filesystem::path& resolved, const struct stat* old);
    // Gives the temporary file the old file's group and attributes; false
    // when they cannot be kept.
    bool TakeOver(const std::filesystem::path& old, const struct stat& info);
    void OpenInPlace(const std::filesystem::path& path, int flags);
    void OpenAppended(const std::filesystem::path& path);
    void ReadExisting();
    bool Lock();
    bool LockForRename();
    bool Truncate(off_t length);
    bool WriteAll(int fd, std::string_view data, bool stoppable);
    bool CopyBack();
    bool Stop();
    void Fail(int error);
    void CloseFd();

    TKind kind_ = TKind::Stream;
    std::filesystem::path target_;  // the file finally written (links followed)
    std::filesystem::path temp_;    // Renamed only
    std::stop_token stop_;
    std::optional<TLook> look_;
    int fd_ = -1;
    int scratch_ = -1;  // InPlace: the new text until Commit
    int lockFd_ = -1;   // Renamed: the old file, locked for the rename
    int error_ = 0;
    bool keepMode_ = false;
    mode_t mode_ = 0;
    bool committing_ = false;  // Commit has begun: no stop is taken any more
    TExisting existing_;
    long long written_ = 0;
    long long flushed_ = 0;
};
