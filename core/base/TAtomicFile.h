#pragma once
// Replaces a file in one step: everything is written to a temporary file in
// the target's folder, flushed to disk and then renamed over the target, so a
// crash or a failed write never leaves a truncated file behind. A
// TAtomicFile that is destroyed without a successful Commit() removes its
// temporary file and leaves the target as it was.

#include <filesystem>
#include <string_view>

class TAtomicFile {
  public:
    // Creates the temporary file; IsOpen() tells whether that worked (not
    // for an existing target that may not be written). A symbolic link as
    // target is followed, so the link itself stays.
    explicit TAtomicFile(const std::filesystem::path& target);
    ~TAtomicFile();
    TAtomicFile(const TAtomicFile&) = delete;
    TAtomicFile& operator=(const TAtomicFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Writes all of `data`. After the first failure every call fails.
    bool Write(std::string_view data);
    // Flushes, closes and renames the temporary file over the target. An
    // existing target's permission bits are carried over. False (and the
    // target untouched) when anything failed.
    bool Commit();
    // errno of the first failure, 0 when none.
    int Error() const { return error_; }

    const std::filesystem::path& Target() const { return target_; }

    // The whole replacement in one call.
    static bool WriteWhole(const std::filesystem::path& target, std::string_view content);

  private:
    void Fail(int error);
    void Discard();

    std::filesystem::path target_;
    std::filesystem::path temp_;
    int fd_ = -1;
    int error_ = 0;
    long long written_ = 0;
    long long flushed_ = 0;
};
