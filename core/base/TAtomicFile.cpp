#include "base/TAtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>

#include "base/FileWrite.h"

namespace {

// Writing back to disk is started every this many bytes, so the flush before
// the rename finds little left to do.
constexpr off_t kWriteBehind = 4 << 20;

std::filesystem::path ResolveTarget(const std::filesystem::path& target) {
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        const std::filesystem::path resolved = std::filesystem::canonical(target, ec);
        if (!ec) {
            return resolved;
        }
    }
    return target;
}

// A short name, so even a target whose own name is at the length limit gets
// a temporary file beside it.
std::filesystem::path TempName(const std::filesystem::path& target, unsigned serial) {
    static std::atomic<unsigned> counter{0};
    const std::string name = ".kfy-" + std::to_string(::getpid()) + "-" +
                             std::to_string(counter.fetch_add(1)) + "-" + std::to_string(serial) +
                             ".tmp";
    return target.parent_path() / name;
}

void SyncFolder(const std::filesystem::path& folder) {
    const std::string name = folder.empty() ? std::string(".") : folder.string();
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // best effort: the rename is already done
        ::close(fd);
    }
}

}  // namespace

TAtomicFile::TAtomicFile(const std::filesystem::path& target) : target_(ResolveTarget(target)) {
    // A file that could not be written in place is not replaced either.
    if (::access(target_.c_str(), F_OK) == 0 && ::access(target_.c_str(), W_OK) != 0) {
        error_ = errno;
        return;
    }
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp_ = TempName(target_, attempt);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    error_ = errno;
    temp_.clear();
}

TAtomicFile::~TAtomicFile() {
    Discard();
}

void TAtomicFile::Fail(int error) {
    if (error_ == 0) {
        error_ = error != 0 ? error : EIO;
    }
}

void TAtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool TAtomicFile::Write(std::string_view data) {
    if (fd_ < 0 || error_ != 0) {
        return false;
    }
    if (const int error = WriteAll(fd_, data); error != 0) {
        Fail(error);
        return false;
    }
    written_ += static_cast<long long>(data.size());
#ifdef __linux__
    if (written_ - flushed_ >= kWriteBehind) {
        ::sync_file_range(fd_, flushed_, written_ - flushed_, SYNC_FILE_RANGE_WRITE);
        flushed_ = written_;
    }
#endif
    return true;
}

bool TAtomicFile::Commit() {
    if (fd_ < 0 || error_ != 0) {
        Discard();
        return false;
    }
    struct stat old {};
    if (::stat(target_.c_str(), &old) == 0) {
        if (S_ISDIR(old.st_mode)) {
            Fail(EISDIR);
            Discard();
            return false;
        }
        ::fchmod(fd_, old.st_mode & 07777);
    }
    if (::fsync(fd_) != 0) {
        Fail(errno);
    }
    if (::close(fd_) != 0) {
        Fail(errno);
    }
    fd_ = -1;
    if (error_ == 0 && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        Fail(errno);
    }
    if (error_ != 0) {
        Discard();
        return false;
    }
    temp_.clear();
    SyncFolder(target_.parent_path());
    return true;
}

bool TAtomicFile::WriteWhole(const std::filesystem::path& target, std::string_view content) {
    TAtomicFile file(target);
    return file.Write(content) && file.Commit();
}
