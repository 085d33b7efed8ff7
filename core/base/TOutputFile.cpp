#include "base/TOutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <system_error>

namespace {

// Writing back to disk is started every this many bytes, so the flush before
// the rename finds little left to do.
constexpr off_t kWriteBehind = 4 << 20;
constexpr std::size_t kHeadSize = 64 << 10;

bool UnderDev(const std::filesystem::path& folder) {
    const std::string text = folder.lexically_normal().string();
    return text == "/dev" || text.starts_with("/dev/");
}

// The real file behind links, so a temporary file goes beside it and a
// rename replaces it rather than the link.
std::filesystem::path Resolve(const std::filesystem::path& target) {
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::canonical(target, ec);
    if (ec) {
        resolved = std::filesystem::absolute(target, ec);
    }
    return resolved;
}

// A short tag of the target's name in its temporary files' names, so the
// leftovers of a killed run can be told apart from those of other targets
// while even a name at the length limit gets a temporary file beside it.
std::string NameTag(const std::filesystem::path& target) {
    std::uint32_t hash = 2166136261u;
    for (const char c : target.filename().string()) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    char text[9];
    std::snprintf(text, sizeof text, "%08x", hash);
    return text;
}

// ".kfy-PID-SERIAL-TAG.tmp" with the process id read back, or 0.
pid_t TempOwner(std::string_view name, std::string_view tag) {
    constexpr std::string_view kPrefix = ".kfy-";
    constexpr std::string_view kSuffix = ".tmp";
    if (!name.starts_with(kPrefix) || !name.ends_with(kSuffix)) {
        return 0;
    }
    name.remove_suffix(kSuffix.size());
    if (!name.ends_with(tag) || name.size() <= tag.size() ||
        name[name.size() - tag.size() - 1] != '-') {
        return 0;
    }
    name.remove_prefix(kPrefix.size());
    pid_t pid = 0;
    std::size_t i = 0;
    for (; i < name.size() && name[i] >= '0' && name[i] <= '9' && pid < 1 << 22; ++i) {
        pid = pid * 10 + (name[i] - '0');
    }
    return i > 0 && i < name.size() && name[i] == '-' ? pid : 0;
}

// Removes the temporary files of `target` whose process is gone.
void RemoveLeftovers(const std::filesystem::path& folder, const std::string& tag) {
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const pid_t pid = TempOwner(entry->d_name, tag);
        if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH) {
            struct stat info {};
            const std::filesystem::path path = folder / entry->d_name;
            if (::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
                ::unlink(path.c_str());
            }
        }
    }
    ::closedir(dir);
}

std::filesystem::path TempName(const std::filesystem::path& target, const std::string& tag,
                               unsigned attempt) {
    static std::atomic<unsigned> counter{0};
    return target.parent_path() /
           (".kfy-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1)) +
            "x" + std::to_string(attempt) + "-" + tag + ".tmp");
}

void SyncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);  // best effort: the rename is already done
        ::close(fd);
    }
}

}  // namespace

TOutputFile::TOutputFile(const std::filesystem::path& target, TMode mode,
                         std::function<bool()> stopRequested)
    : target_(target), stopRequested_(std::move(stopRequested)) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            Fail(errno);
            return;
        }
        const std::filesystem::path resolved = Resolve(target);
        if (UnderDev(resolved.parent_path())) {
            if (mode == TMode::RenamedOnly) {
                return;
            }
            kind_ = TKind::InPlace;
            OpenInPlace(resolved, O_WRONLY | O_CREAT | O_EXCL);
        } else {
            OpenRenamed(resolved, false, 0);
        }
        return;
    }
    if (mode == TMode::RenamedOnly && !S_ISREG(info.st_mode)) {
        return;
    }
    if (S_ISDIR(info.st_mode)) {
        Fail(EISDIR);
    } else if (!S_ISREG(info.st_mode)) {
        kind_ = TKind::Stream;
        OpenInPlace(target, O_WRONLY | O_NOCTTY);
    } else {
        OpenRegular(target, info, mode);
    }
}

TOutputFile::~TOutputFile() {
    Abort();
}

void TOutputFile::OpenRegular(const std::filesystem::path& target, const struct stat& info,
                              TMode mode) {
    const std::filesystem::path resolved = Resolve(target);
    if (mode == TMode::Append) {
        kind_ = TKind::Appended;
        OpenInPlace(resolved, O_RDWR | O_APPEND);
        if (fd_ < 0 && error_ == EACCES) {
            error_ = 0;  // write-only for this user: appended without looking
            OpenInPlace(resolved, O_WRONLY | O_APPEND);
        }
        if (fd_ >= 0) {
            ReadExisting();
        }
        return;
    }
    const std::filesystem::path folder = resolved.parent_path();
    if (info.st_nlink == 1 && info.st_uid == ::geteuid() && !UnderDev(folder) &&
        ::access(folder.c_str(), W_OK) == 0) {
        // A file that could not be written in place is not replaced either.
        if (::access(resolved.c_str(), W_OK) != 0) {
            if (mode != TMode::RenamedOnly) {
                Fail(errno);
            }
            return;
        }
        OpenRenamed(resolved, true, info.st_mode & 07777);
        return;
    }
    if (mode == TMode::RenamedOnly) {
        return;
    }
    kind_ = TKind::InPlace;
    OpenInPlace(resolved, O_WRONLY);
}

void TOutputFile::OpenRenamed(const std::filesystem::path& resolved, bool exists, mode_t mode) {
    kind_ = TKind::Renamed;
    target_ = resolved;
    keepMode_ = exists;
    mode_ = mode;
    const std::string tag = NameTag(resolved);
    RemoveLeftovers(resolved.parent_path(), tag);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp_ = TempName(resolved, tag, attempt);
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0) {
            return;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    Fail(errno);
    temp_.clear();
}

// Opening a FIFO waits for its reader: a stop ends the wait.
void TOutputFile::OpenInPlace(const std::filesystem::path& path, int flags) {
    target_ = path;
    while ((fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0666)) < 0) {
        const int error = errno;
        if (error != EINTR || Stop()) {
            Fail(error);
            return;
        }
    }
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        Fail(errno);
        CloseFd();
        return;
    }
    // The file may have been swapped for another kind since it was looked at.
    if ((kind_ == TKind::Stream) == S_ISREG(info.st_mode)) {
        Fail(S_ISDIR(info.st_mode) ? EISDIR : EAGAIN);
        CloseFd();
        return;
    }
    if (kind_ != TKind::Stream && !Lock()) {
        CloseFd();
    }
}

bool TOutputFile::Lock() {
    while (::flock(fd_, LOCK_EX) != 0) {
        const int error = errno;
        if (error == ENOLCK || error == EOPNOTSUPP) {
            return true;  // a file system without locks: written unlocked
        }
        if (error != EINTR || Stop()) {
            Fail(error);
            return false;
        }
    }
    return true;
}

// Measured after the lock, so a run that appended just before is seen.
void TOutputFile::ReadExisting() {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        Fail(errno);
        CloseFd();
        return;
    }
    existing_.size = static_cast<long long>(info.st_size);
    if (existing_.size == 0) {
        return;
    }
    char last = '\n';
    if (::pread(fd_, &last, 1, info.st_size - 1) == 1) {
        existing_.endsInLineBreak = last == '\n';
    }
    std::string head(static_cast<std::size_t>(std::min<long long>(existing_.size, kHeadSize)),
                     '\0');
    const ssize_t n = ::pread(fd_, head.data(), head.size(), 0);
    if (n <= 0) {
        return;
    }
    head.resize(static_cast<std::size_t>(n));
    if (static_cast<long long>(n) < existing_.size) {
        // Cut after a whole line: a line break is never part of a
        // double-byte character, in Shift_JIS or in UTF-8.
        head.resize(head.rfind('\n') == std::string::npos ? 0 : head.rfind('\n') + 1);
    }
    existing_.head = std::move(head);
}

bool TOutputFile::Stop() {
    if (stopRequested_ && stopRequested_()) {
        error_ = error_ == 0 ? EINTR : error_;
        return true;
    }
    return false;
}

void TOutputFile::Fail(int error) {
    if (error_ == 0) {
        error_ = error != 0 ? error : EIO;
    }
}

void TOutputFile::CloseFd() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

bool TOutputFile::Truncate(off_t length) {
    while (::ftruncate(fd_, length) != 0) {
        if (errno != EINTR) {
            Fail(errno);
            return false;
        }
    }
    return true;
}

bool TOutputFile::Write(std::string_view data) {
    if (fd_ < 0 || error_ != 0) {
        return false;
    }
    // An in-place rewrite, once the old text is gone, is finished whatever
    // happens: a stop would leave neither the old nor the new file.
    if (!emptied_ && Stop()) {
        return false;
    }
    if (kind_ == TKind::InPlace && !emptied_) {
        if (!Truncate(0)) {
            return false;
        }
        emptied_ = true;
    }
    while (!data.empty()) {
        const ssize_t n = ::write(fd_, data.data(), data.size());
        if (n < 0) {
            const int error = errno;
            if (error == EINTR && (emptied_ || !Stop())) {
                continue;
            }
            Fail(error);
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
        written_ += n;
    }
#ifdef __linux__
    if (kind_ == TKind::Renamed && written_ - flushed_ >= kWriteBehind) {
        ::sync_file_range(fd_, flushed_, written_ - flushed_, SYNC_FILE_RANGE_WRITE);
        flushed_ = written_;
    }
#endif
    return true;
}

bool TOutputFile::Commit() {
    if (fd_ < 0 || error_ != 0 || (!emptied_ && Stop())) {
        Abort();
        return false;
    }
    if (kind_ == TKind::InPlace && !emptied_ && !Truncate(0)) {
        Abort();
        return false;
    }
    if (kind_ == TKind::Renamed && keepMode_ && ::fchmod(fd_, mode_) != 0) {
        Fail(errno);
    }
    // Devices, FIFOs and terminals cannot be flushed; that is no failure.
    if (kind_ != TKind::Stream && error_ == 0 && ::fsync(fd_) != 0) {
        Fail(errno);
    }
    if (error_ != 0) {
        Abort();
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        Fail(errno);
        if (kind_ == TKind::Appended) {
            ::truncate(target_.c_str(), static_cast<off_t>(existing_.size));
        }
        Abort();
        return false;
    }
    if (kind_ == TKind::Renamed) {
        if (::rename(temp_.c_str(), target_.c_str()) != 0) {
            Fail(errno);
            Abort();
            return false;
        }
        temp_.clear();
        SyncFolder(target_.parent_path());
    }
    return true;
}

void TOutputFile::Abort() {
    if (fd_ >= 0 && kind_ == TKind::Appended) {
        Truncate(static_cast<off_t>(existing_.size));
    }
    CloseFd();
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool TOutputFile::WriteWhole(const std::filesystem::path& target, std::string_view content,
                             int* error) {
    TOutputFile file(target, TMode::Replace);
    const bool written = file.Write(content) && file.Commit();
    if (error != nullptr) {
        *error = file.Error();
    }
    return written;
}

bool TOutputFile::IsRegularFile(const std::filesystem::path& target) {
    struct stat info {};
    return ::stat(target.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
