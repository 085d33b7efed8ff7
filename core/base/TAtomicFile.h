#pragma once
// Replaces a whole file safely: TOutputFile in replace mode (a temporary
// file renamed over the target where that keeps the owner, links and mode;
// otherwise an in-place rewrite; devices and FIFOs written straight
// through). A TAtomicFile destroyed without a successful Commit() leaves a
// renamed target as it was.

#include <filesystem>
#include <string_view>

#include "base/TOutputFile.h"

class TAtomicFile {
  public:
    explicit TAtomicFile(const std::filesystem::path& target)
        : file_(target, TOutputFile::TMode::Replace) {}

    bool IsOpen() const { return file_.IsOpen(); }
    // Writes all of `data`. After the first failure every call fails.
    bool Write(std::string_view data) { return file_.Write(data); }
    // False (and a renamed target untouched) when anything failed.
    bool Commit() { return file_.Commit(); }
    // errno of the first failure, 0 when none.
    int Error() const { return file_.Error(); }
    // The file written: a symbolic link as target is followed.
    const std::filesystem::path& Target() const { return file_.Target(); }

    static bool WriteWhole(const std::filesystem::path& target, std::string_view content) {
        return TOutputFile::WriteWhole(target, content);
    }

  private:
    TOutputFile file_;
};
