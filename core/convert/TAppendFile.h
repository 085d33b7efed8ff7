#pragma once
// Appends to an existing file; when the append fails or is not committed,
// the file is cut back to its old length, so a failed save adds nothing.

#include <filesystem>
#include <string_view>

class TAppendFile {
  public:
    // IsOpen() is false when the file cannot be opened for writing.
    explicit TAppendFile(const std::filesystem::path& path);
    ~TAppendFile();
    TAppendFile(const TAppendFile&) = delete;
    TAppendFile& operator=(const TAppendFile&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    // Length of the file before anything was appended.
    long long OldSize() const { return oldSize_; }
    bool Write(std::string_view data);
    bool Commit();

  private:
    void RollBack();

    int fd_ = -1;
    long long oldSize_ = 0;
    bool failed_ = false;
};
