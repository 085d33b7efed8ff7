#pragma once
// Writes a file that belongs to the user without destroying what it should
// not. How the target is written is decided once, when it is opened:
//
// - Renamed: a missing target, or a regular file with one link, owned by the
//   running user, in a folder the user may write. Everything goes to a
//   temporary file beside it, flushed and renamed over it by Commit (the old
//   permission bits kept), so a failure or a stop leaves the old file whole.
// - InPlace: any other regular file (someone else's, hard-linked, in a folder
//   the user may not write, or under /dev). It is locked (flock) and emptied
//   by the first Write or by Commit, so owner, mode and links stay. Once
//   emptied the rewrite is finished even when a stop is asked meanwhile.
// - Appended: append mode on a regular file. Locked (flock) so two runs
//   cannot interleave; anything that fails (a write, the flush, the close, a
//   stop) cuts the file back to its old length.
// - Stream: not a regular file (a FIFO, a terminal, a device, a pipe behind
//   /proc/self/fd/1). Written straight through: never renamed over, backed up
//   or read.
//
// No temporary file is made anywhere but the target's own folder, and none
// in /dev. Temporary files of this target left by a run that was killed are
// removed when the next one opens it. A stop (the `stopRequested` callback)
// is checked before each write and while waiting to open or lock; blocking
// calls interrupted by a signal (EINTR) ask it again. A stream caller may
// feed Write() any number of times before Commit().

#include <sys/types.h>

#include <cerrno>
#include <filesystem>
#include <functional>
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
        // The file's first bytes (up to 64 KiB, cut after a line break when
        // longer); empty when the file cannot be read.
        std::string head;
        bool endsInLineBreak = true;  // also when empty or unreadable
    };

    TOutputFile(const std::filesystem::path& target, TMode mode,
                std::function<bool()> stopRequested = {});
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

  private:
    void OpenRegular(const std::filesystem::path& target, const struct stat& info, TMode mode);
    void OpenRenamed(const std::filesystem::path& resolved, bool exists, mode_t mode);
    void OpenInPlace(const std::filesystem::path& path, int flags);
    void ReadExisting();
    bool Lock();
    bool Truncate(off_t length);
    bool Stop();
    void Fail(int error);
    void CloseFd();

    TKind kind_ = TKind::Stream;
    std::filesystem::path target_;  // the file finally written (links followed)
    std::filesystem::path temp_;    // Renamed only
    std::function<bool()> stopRequested_;
    int fd_ = -1;
    int error_ = 0;
    bool keepMode_ = false;
    mode_t mode_ = 0;
    bool emptied_ = false;  // InPlace: the old text is gone
    TExisting existing_;
    long long written_ = 0;
    long long flushed_ = 0;
};
