#include "mail/TStoreBoundary.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <system_error>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

// Reading a mail should not make the file system write its access time;
// only the file's owner may ask for that, so after one refusal it is not
// asked again.
std::atomic<bool> askNoAtime{true};

int OpenNoFollow(int folderFd, const char* name) {
    // Non-blocking, so that a FIFO put in place of a mail cannot stall the
    // reader; no link followed, so that one cannot lead out of the store.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    if (askNoAtime.load(std::memory_order_relaxed)) {
        const int fd = ::openat(folderFd, name, kFlags | O_NOATIME);
        if (fd >= 0 || errno != EPERM) {
            return fd;
        }
        askNoAtime.store(false, std::memory_order_relaxed);
    }
    return ::openat(folderFd, name, kFlags);
}

[[noreturn]] void ThrowOpenError(const std::filesystem::path& path, const char* why) {
    throw TKestrifyError(TSjisUnicode::FromUtf8("ファイルが開けません。\n") +
                         TSjisUnicode::FromPath(path) + TSjisUnicode::FromUtf8(why));
}

}  // namespace

TStoreBoundary::TStoreBoundary(const std::filesystem::path& root) {
    std::error_code ec;
    root_ = std::filesystem::weakly_canonical(std::filesystem::absolute(root, ec), ec);
    if (ec) {
        root_ = root.lexically_normal();
    }
}

std::filesystem::path TStoreBoundary::Target(const std::filesystem::path& path) const {
    std::error_code ec;
    // A loop of links or a link to nothing fails here.
    std::filesystem::path target = std::filesystem::canonical(path, ec);
    if (ec || !std::filesystem::is_regular_file(target, ec) || ec) {
        return {};
    }
    const std::filesystem::path inside = target.lexically_relative(root_);
    if (inside.empty() || *inside.begin() == ".." || inside == ".") {
        return {};
    }
    return target;
}

bool TStoreBoundary::IsMailLink(const std::filesystem::path& path) const {
    return !Target(path).empty();
}

TFd TStoreBoundary::Open(int folderFd, const std::filesystem::path& folder,
                         const char* name) const {
    const auto path = [&] { return folder.empty() ? std::filesystem::path(name) : folder / name; };
    int fd = OpenNoFollow(folderFd, name);
    if (fd < 0 && errno == ELOOP) {
        // A link: read only where it leads inside the store.
        const std::filesystem::path target = Target(path());
        if (target.empty()) {
            ThrowOpenError(path(), " (ストアの外へのリンクです)");
        }
        fd = OpenNoFollow(AT_FDCWD, target.c_str());
    }
    if (fd < 0) {
        ThrowOpenError(path(), "");
    }
    return TFd(fd);
}

std::uint64_t TStoreBoundary::PlainFileSize(int fd, const std::filesystem::path& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ThrowOpenError(path, " (普通のファイルではありません)");
    }
    return static_cast<std::uint64_t>(st.st_size);
}
