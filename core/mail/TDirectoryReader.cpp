#include "mail/TDirectoryReader.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "base/TFd.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

// The kernel's record of one entry (struct linux_dirent64): inode and
// offset (8 bytes each), record length (2), type (1), name ending in 0.
constexpr std::size_t kLengthAt = 16;
constexpr std::size_t kTypeAt = 18;
constexpr std::size_t kNameAt = 19;

constexpr std::size_t kBufferSize = 1 << 20;

[[noreturn]] void ThrowListError(const std::filesystem::path& folder, int error) {
    throw TKestrifyError(TSjisUnicode::FromUtf8("フォルダを読めません。\n") +
                         TSjisUnicode::FromPath(folder) + " (" + ::strerrordesc_np(error) + ")");
}

}  // namespace

unsigned char TDirectoryReader::TEntry::Resolved() const {
    if (type_ != DT_UNKNOWN && type_ != DT_LNK) {
        return type_;
    }
    std::string name(name_);
    struct stat st {};
    if (::fstatat(folderFd_, name.c_str(), &st, 0) != 0) {
        return DT_UNKNOWN;  // gone, or a link to nothing
    }
    return S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : DT_UNKNOWN;
}

TDirectoryReader::TEntry::TKind TDirectoryReader::TEntry::Kind() const {
    unsigned char type = type_;
    if (type == DT_UNKNOWN) {
        const std::string name(name_);
        struct stat st {};
        if (::fstatat(folderFd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            type = S_ISREG(st.st_mode)   ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
    }
    switch (type) {
        case DT_REG:
            return TKind::File;
        case DT_DIR:
            return TKind::Folder;
        case DT_LNK:
            return TKind::Link;
        default:
            return TKind::Other;
    }
}

bool TDirectoryReader::TEntry::IsFile() const {
    return Resolved() == DT_REG;
}

bool TDirectoryReader::TEntry::IsFolder() const {
    return Resolved() == DT_DIR;
}

bool TDirectoryReader::List(const std::filesystem::path& folder,
                            const std::function<bool(const TEntry&)>& visit) {
    const TFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return false;
        }
        ThrowListError(folder, errno);
    }
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBufferSize);
    for (;;) {
        const long n = ::syscall(SYS_getdents64, fd.Get(), buffer.get(), kBufferSize);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ThrowListError(folder, errno);
        }
        if (n == 0) {
            return true;
        }
        for (std::size_t at = 0; at < static_cast<std::size_t>(n);) {
            const char* record = buffer.get() + at;
            std::uint16_t length = 0;
            std::memcpy(&length, record + kLengthAt, sizeof length);
            const auto type = static_cast<unsigned char>(record[kTypeAt]);
            const std::string_view name(record + kNameAt);
            at += length;
            if (name == "." || name == "..") {
                continue;
            }
            if (!visit(TEntry(fd.Get(), name, type))) {
                return true;
            }
        }
    }
}
