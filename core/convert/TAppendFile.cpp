#include "convert/TAppendFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/FileWrite.h"

TAppendFile::TAppendFile(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd_ < 0) {
        return;
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    oldSize_ = static_cast<long long>(info.st_size);
}

TAppendFile::~TAppendFile() {
    if (fd_ >= 0) {
        RollBack();
    }
}

void TAppendFile::RollBack() {
    if (::ftruncate(fd_, static_cast<off_t>(oldSize_)) != 0) {
        // Nothing more can be done; the data written so far stays.
    }
    ::close(fd_);
    fd_ = -1;
}

bool TAppendFile::Write(std::string_view data) {
    if (fd_ < 0 || failed_) {
        return false;
    }
    if (WriteAll(fd_, data) != 0) {
        failed_ = true;
        return false;
    }
    return true;
}

bool TAppendFile::Commit() {
    if (fd_ < 0) {
        return false;
    }
    if (failed_ || ::fsync(fd_) != 0) {
        RollBack();
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
}
