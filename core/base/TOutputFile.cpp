#include "base/TOutputFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "base/TScratchFile.h"

namespace {

// Writing back to disk is started every this many bytes, so the flush before
// the rename finds little left to do.
constexpr off_t kWriteBehind = 4 << 20;
constexpr std::size_t kHeadSize = 64 << 10;
constexpr std::size_t kCopyBlock = 1 << 20;

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

TOutputFile::TOutputFile(const std::filesystem::path& target, TMode mode, std::stop_token stop,
                         std::optional<TLook> look)
    : target_(target), stop_(std::move(stop)), look_(look) {
    if (const std::optional<int> caller = CallerDescriptor(target)) {
        // The caller's descriptor: written where it stands, as a shell's
        // redirection asked.
        if (mode == TMode::RenamedOnly) {
            return;
        }
        kind_ = TKind::Stream;
        fd_ = ::fcntl(*caller, F_DUPFD_CLOEXEC, 3);
        if (fd_ < 0) {
            Fail(errno);
        }
        return;
    }
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            Fail(errno);
            return;
        }
        const std::filesystem::path resolved = Resolve(target);
        if (UnderDev(resolved.parent_path())) {
            // Device names are the system's: none is made up by a save.
            if (mode != TMode::RenamedOnly) {
                Fail(EACCES);
            }
            return;
        }
        OpenRenamed(resolved, nullptr);
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
        OpenAppended(resolved);
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
        OpenRenamed(resolved, &info);
        if (fd_ >= 0 || error_ != 0) {
            return;
        }
        // Its group or attributes cannot be kept: rewritten in place.
    }
    if (mode == TMode::RenamedOnly) {
        return;
    }
    kind_ = TKind::InPlace;
    OpenInPlace(resolved, O_WRONLY);
    if (fd_ < 0) {
        return;
    }
    scratch_ = TScratchFile::Open();
    if (scratch_ < 0) {
        Fail(errno);
        CloseFd();
    }
}

void TOutputFile::OpenAppended(const std::filesystem::path& path) {
    kind_ = TKind::Appended;
    // An overwrite may rename a new file over the name between the open and
    // the lock: the rows would go into the old one. Opened again then.
    for (int attempt = 0; attempt < 100; ++attempt) {
        OpenInPlace(path, O_RDWR | O_APPEND);
        if (fd_ < 0 && error_ == EACCES) {
            error_ = 0;  // write-only for this user: appended without looking
            OpenInPlace(path, O_WRONLY | O_APPEND);
        }
        if (fd_ < 0) {
            return;
        }
        struct stat opened {};
        struct stat named {};
        if (::fstat(fd_, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
            (opened.st_dev != named.st_dev || opened.st_ino != named.st_ino)) {
            CloseFd();
            continue;
        }
        ReadExisting();
        return;
    }
    Fail(EAGAIN);
}

void TOutputFile::OpenRenamed(const std::filesystem::path& resolved, const struct stat* old) {
    kind_ = TKind::Renamed;
    target_ = resolved;
    // The new text stays private until it has the old file's mode.
    keepMode_ = old != nullptr || look_.has_value();
    mode_ = look_ ? look_->mode : old != nullptr ? old->st_mode & 07777 : 0;
    const std::string tag = NameTag(resolved);
    RemoveLeftovers(resolved.parent_path(), tag);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        temp_ = TempName(resolved, tag, attempt);
        fd_ =
            ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, keepMode_ ? 0600 : 0666);
        if (fd_ >= 0) {
            break;
        }
        if (errno != EEXIST) {
            Fail(errno);
            temp_.clear();
            return;
        }
    }
    if (fd_ < 0) {
        Fail(EEXIST);
        temp_.clear();
        return;
    }
    if (look_) {
        // Best effort: another owner, or a group this user is not in, needs
        // root to give.
        const uid_t owner = ::geteuid() == 0 ? look_->uid : static_cast<uid_t>(-1);
        if (::fchown(fd_, owner, look_->gid) != 0) {
            errno = 0;
        }
    } else if (old != nullptr && !TakeOver(resolved, *old)) {
        CloseFd();
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool TOutputFile::TakeOver(const std::filesystem::path& old, const struct stat& info) {
    struct stat made {};
    if (::fstat(fd_, &made) != 0) {
        return false;
    }
    if (made.st_gid != info.st_gid && ::fchown(fd_, static_cast<uid_t>(-1), info.st_gid) != 0) {
        return false;
    }
    const ssize_t size = ::listxattr(old.c_str(), nullptr, 0);
    if (size <= 0) {
        return size == 0 || errno == ENOTSUP;
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    const ssize_t got = ::listxattr(old.c_str(), names.data(), names.size());
    if (got < 0) {
        return false;
    }
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        const ssize_t length = ::getxattr(old.c_str(), name, nullptr, 0);
        if (length < 0) {
            return false;
        }
        value.resize(static_cast<std::size_t>(length));
        const ssize_t read = ::getxattr(old.c_str(), name, value.data(), value.size());
        if (read < 0 ||
            ::fsetxattr(fd_, name, value.data(), static_cast<std::size_t>(read), 0) != 0) {
            return false;
        }
    }
    return true;
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

// The old file is locked while the new one is renamed over it: an append
// that holds the lock ends first, one that waits for it then finds the new
// file under the name and opens that instead.
bool TOutputFile::LockForRename() {
    int old = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (old < 0) {
        old = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    }
    if (old < 0) {
        return true;  // a new file, or none this user can open: nothing to wait for
    }
    const int own = fd_;
    fd_ = old;
    const bool locked = Lock();
    fd_ = own;
    if (!locked) {
        ::close(old);
        return false;
    }
    lockFd_ = old;
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
    ssize_t got = 0;
    while ((got = ::pread(fd_, &last, 1, info.st_size - 1)) < 0 && errno == EINTR) {
    }
    if (got == 1) {
        existing_.endsInLineBreak = last == '\n';
    }
    std::string head(static_cast<std::size_t>(std::min<long long>(existing_.size, kHeadSize)),
                     '\0');
    ssize_t n = 0;
    while ((n = ::pread(fd_, head.data(), head.size(), 0)) < 0 && errno == EINTR) {
    }
    if (n <= 0) {
        return;
    }
    head.resize(static_cast<std::size_t>(n));
    existing_.head = std::move(head);
}

bool TOutputFile::Stop() {
    if (!committing_ && stop_.stop_requested()) {
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
    if (scratch_ >= 0) {
        ::close(scratch_);
        scratch_ = -1;
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
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

bool TOutputFile::WriteAll(int fd, std::string_view data, bool stoppable) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno != EINTR) {
            Fail(errno);
            return false;
        }
        if (n > 0) {
            data.remove_prefix(static_cast<std::size_t>(n));
        }
        // A signal cuts a write into a full pipe short: the stop is seen
        // here rather than after the reader has taken everything.
        if (!data.empty() && stoppable && Stop()) {
            return false;
        }
    }
    return true;
}

bool TOutputFile::Write(std::string_view data) {
    if (fd_ < 0 || error_ != 0 || Stop()) {
        return false;
    }
    if (!WriteAll(kind_ == TKind::InPlace ? scratch_ : fd_, data, true)) {
        return false;
    }
    written_ += static_cast<long long>(data.size());
#ifdef __linux__
    if (kind_ == TKind::Renamed && written_ - flushed_ >= kWriteBehind) {
        ::sync_file_range(fd_, flushed_, written_ - flushed_, SYNC_FILE_RANGE_WRITE);
        flushed_ = written_;
    }
#endif
    return true;
}

// The new text from the scratch file over the old one. Room for all of it is
// taken first: a full disk or a size limit then fails before any old byte is
// touched.
bool TOutputFile::CopyBack() {
    const off_t length = static_cast<off_t>(written_);
    if (length > 0) {
        int result = 0;
        while ((result = ::fallocate(fd_, FALLOC_FL_KEEP_SIZE, 0, length)) != 0 && errno == EINTR) {
        }
        if (result != 0 && errno != EOPNOTSUPP && errno != ENOSYS) {
            Fail(errno);
            return false;
        }
    }
    std::string block(kCopyBlock, '\0');
    for (off_t at = 0; at < length;) {
        const ssize_t n = ::pread(scratch_, block.data(), block.size(), at);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) {
                continue;
            }
            Fail(n < 0 ? errno : EIO);
            return false;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t put =
                ::pwrite(fd_, block.data() + done, static_cast<std::size_t>(n - done), at + done);
            if (put < 0 && errno != EINTR) {
                Fail(errno);
                return false;
            }
            done += put > 0 ? put : 0;
        }
        at += n;
    }
    return Truncate(length);
}

bool TOutputFile::Commit() {
    if (fd_ < 0 || error_ != 0 || Stop()) {
        Abort();
        return false;
    }
    // The point of no return: a stop from now on lets the save finish.
    committing_ = true;
    if (kind_ == TKind::InPlace && !CopyBack()) {
        Abort();
        return false;
    }
    if (kind_ == TKind::Renamed && keepMode_ && ::fchmod(fd_, mode_) != 0) {
        Fail(errno);
    }
    // Devices, FIFOs and terminals cannot be flushed; that is no failure.
    // A signal may interrupt the flush: the save goes on (past the point
    // of no return a stop lets it finish).
    while (kind_ != TKind::Stream && error_ == 0 && ::fsync(fd_) != 0) {
        if (errno != EINTR) {
            Fail(errno);
        }
    }
    if (error_ == 0 && kind_ == TKind::Renamed && !LockForRename()) {
        Fail(EINTR);
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
    CloseFd();
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

std::optional<int> TOutputFile::CallerDescriptor(const std::filesystem::path& target) {
    const std::filesystem::path ownFds = "/proc/" + std::to_string(::getpid()) + "/fd";
    std::filesystem::path at = target;
    for (int hop = 0; hop < 40 && !at.empty(); ++hop) {
        std::error_code ec;
        at = std::filesystem::absolute(at, ec);
        const std::filesystem::path folder = std::filesystem::canonical(at.parent_path(), ec);
        if (!ec && (folder == ownFds ||
                    (folder.filename() == "fd" &&
                     folder.parent_path().parent_path().filename() == "task" &&
                     folder.parent_path().parent_path().parent_path() == ownFds.parent_path()))) {
            const std::string name = at.filename().string();
            int fd = 0;
            for (const char c : name) {
                if (c < '0' || c > '9' || fd > 1 << 20) {
                    return std::nullopt;
                }
                fd = fd * 10 + (c - '0');
            }
            if (name.empty() || ::fcntl(fd, F_GETFD) < 0) {
                return std::nullopt;
            }
            return fd;
        }
        char link[4096];
        const ssize_t n = ::readlink(at.c_str(), link, sizeof link);
        if (n <= 0 || static_cast<std::size_t>(n) == sizeof link) {
            return std::nullopt;
        }
        const std::filesystem::path next(std::string(link, static_cast<std::size_t>(n)));
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return std::nullopt;
}
