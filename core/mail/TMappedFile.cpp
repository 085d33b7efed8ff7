#include "mail/TMappedFile.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "base/TFd.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

[[noreturn]] void ThrowOpenError(const std::filesystem::path& path) {
    throw TKestrifyError(TSjisUnicode::FromUtf8("ファイルが開けません。\n") +
                         TSjisUnicode::FromPath(path));
}

// Reading a mail should not make the file system write its access time;
// only the file's owner may ask for that, so after one refusal it is not
// asked again.
std::atomic<bool> askNoAtime{true};

int OpenForReading(int folderFd, const char* name) {
    // Non-blocking, so that a pipe named like a mail cannot stall the reader.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK;
    if (askNoAtime.load(std::memory_order_relaxed)) {
        const int fd = ::openat(folderFd, name, kFlags | O_NOATIME);
        if (fd >= 0 || errno != EPERM) {
            return fd;
        }
        askNoAtime.store(false, std::memory_order_relaxed);
    }
    return ::openat(folderFd, name, kFlags);
}

}  // namespace

struct TMappedGuardSlot {
    std::atomic<std::uintptr_t> begin{0};  // 0 while the slot is free
    std::atomic<std::uintptr_t> end{0};
    std::atomic<int> fd{-1};
    std::atomic<std::uint64_t> intact{0};  // bytes still read from the file
    std::atomic<bool> used{false};
};

namespace {

// A mapped file that another program cuts short (a mail client compacting
// its mbox) makes every later read of the vanished pages raise SIGBUS. The
// guard turns that into zeros the reader can see: the handler maps zero
// pages from the faulting page to the end of the mapping and records where
// the file's text now ends, and the reader checks each mail against that.
class TBusGuard {
  public:
    using TSlot = TMappedGuardSlot;

    // A slot for the mapping, or null when all are taken (the mapping then
    // stays unguarded, as it would be without this).
    static TSlot* Register(const void* begin, std::size_t size, int fd) {
        Install();
        for (TSlot& slot : slots_) {
            bool expected = false;
            if (slot.used.compare_exchange_strong(expected, true)) {
                const auto first = reinterpret_cast<std::uintptr_t>(begin);
                slot.end.store(first + size);
                slot.fd.store(fd);
                slot.intact.store(size);
                slot.begin.store(first, std::memory_order_release);
                return &slot;
            }
        }
        return nullptr;
    }

    static void Unregister(TSlot* slot) {
        if (slot != nullptr) {
            slot->begin.store(0, std::memory_order_release);
            slot->used.store(false);
        }
    }

  private:
    static void Install() {
        static const bool installed = [] {
            pageSize_ = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
            struct sigaction action {};
            action.sa_sigaction = OnBusError;
            action.sa_flags = SA_SIGINFO;
            sigemptyset(&action.sa_mask);
            return ::sigaction(SIGBUS, &action, &previous_) == 0;
        }();
        (void)installed;
    }

    // Only async-signal-safe calls: mmap, fstat, sigaction, atomics.
    static void OnBusError(int, siginfo_t* info, void*) {
        const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
        for (TSlot& slot : slots_) {
            const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
            const std::uintptr_t end = slot.end.load();
            if (begin == 0 || address < begin || address >= end) {
                continue;
            }
            const std::uintptr_t page = address & ~(pageSize_ - 1);
            if (::mmap(reinterpret_cast<void*>(page), end - page, PROT_READ,
                       MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) {
                break;
            }
            std::uint64_t intact = page - begin;
            struct stat st {};
            if (::fstat(slot.fd.load(), &st) == 0 &&
                static_cast<std::uint64_t>(st.st_size) < intact) {
                intact = static_cast<std::uint64_t>(st.st_size);
            }
            std::uint64_t old = slot.intact.load();
            while (intact < old && !slot.intact.compare_exchange_weak(old, intact)) {
            }
            return;
        }
        // Not a guarded mapping: the fault is handled as it would have been.
        ::sigaction(SIGBUS, &previous_, nullptr);
    }

    static constexpr std::size_t kSlots = 256;
    static inline TSlot slots_[kSlots];
    static inline struct sigaction previous_ {};
    static inline std::uintptr_t pageSize_ = 4096;
};

}  // namespace

TMappedFile::TMappedFile(const std::filesystem::path& path)
    : TMappedFile(AT_FDCWD, std::filesystem::path(), path.c_str()) {}

TMappedFile::TMappedFile(int folderFd, const std::filesystem::path& folder, const char* name) {
    const auto path = [&] { return folder.empty() ? std::filesystem::path(name) : folder / name; };
    // Non-blocking, so that a pipe named like a mail cannot stall the reader.
    TFd fd(::openat(folderFd, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        ThrowOpenError(path());
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ <= kReadLimit) {
        if (!ReadWhole(fd.Get())) {
            ThrowOpenError(path());
        }
        return;
    }
    void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
    if (map == MAP_FAILED && errno == ENOMEM) {
        throw std::bad_alloc();  // no room left to see the file in
    }
    if (map == MAP_FAILED) {
        ThrowOpenError(path());
    }
    mapping_ = map;
    data_ = static_cast<const char*>(map);
    fd_ = fd.Release();  // kept for the guard to measure the file
    guard_ = TBusGuard::Register(map, size_, fd_);
}

std::uint64_t TMappedFile::IntactSize() const {
    return guard_ != nullptr ? guard_->intact.load(std::memory_order_relaxed) : size_;
}

void TMappedFile::CheckIntact(std::string_view part) const {
    if (guard_ == nullptr) {
        return;
    }
    const auto end = static_cast<std::uint64_t>(part.data() + part.size() - data_);
    if (end > guard_->intact.load(std::memory_order_relaxed)) {
        throw TKestrifyError(TSjisUnicode::FromUtf8(
            "ファイルの読み取りに失敗しました。 (the file got shorter while it was read)"));
    }
}

// Small files (single mails) are read: cheaper than mapping, and a file cut
// short by another program while it is read cannot fault the process.
bool TMappedFile::ReadWhole(int fd) {
    bytes_.resize(size_);
    std::size_t done = 0;
    while (done < size_) {
        const ssize_t n = ::pread(fd, bytes_.data() + done, size_ - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            break;  // the file got shorter since it was measured
        }
        done += static_cast<std::size_t>(n);
    }
    bytes_.resize(done);
    data_ = bytes_.data();
    size_ = done;
    return true;
}

std::optional<std::string_view> TMappedFile::ReadSmall(int folderFd,
                                                       const std::filesystem::path& folder,
                                                       const char* name,
                                                       std::optional<std::uint64_t> sizeHint,
                                                       std::string& buffer) {
    constexpr std::size_t kFirstRead = 64 * 1024;
    const auto fail = [&] {
        ThrowOpenError(folder.empty() ? std::filesystem::path(name) : folder / name);
    };
    const TFd fd(OpenForReading(folderFd, name));
    if (fd.Get() < 0) {
        fail();
    }
    if (buffer.size() < kFirstRead) {
        buffer.resize(kFirstRead);
    }
    // Read until the end rather than measure the file first: one call
    // fewer for a small file, and a file that grows or shrinks meanwhile
    // is read as it is.
    std::size_t size = 0;
    for (;;) {
        if (size == buffer.size()) {
            if (size >= kReadLimit) {
                return std::nullopt;
            }
            buffer.resize(std::min(2 * size, kReadLimit));
        }
        const ssize_t n = ::read(fd.Get(), buffer.data() + size, buffer.size() - size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            fail();  // also a pipe or device that has nothing to give
        }
        if (n == 0) {
            break;
        }
        size += static_cast<std::size_t>(n);
        if (sizeHint && size == *sizeHint && size < buffer.size()) {
            break;  // a short read of the size the name tells: the end
        }
    }
    // Only an empty read leaves open whether it was a plain file.
    struct stat st {};
    if (size == 0 && (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))) {
        fail();
    }
    return std::string_view(buffer.data(), size);
}

std::unique_ptr<TMappedFile> TMappedFile::FromBytes(std::string bytes) {
    std::unique_ptr<TMappedFile> file(new TMappedFile());
    file->bytes_ = std::move(bytes);
    file->data_ = file->bytes_.data();
    file->size_ = file->bytes_.size();
    return file;
}

std::unique_ptr<TMappedFile> TMappedFile::FromBuffer(const void* data, std::size_t size) {
    std::unique_ptr<TMappedFile> file(new TMappedFile());
    if (size > 0) {
        file->exact_ = std::make_unique_for_overwrite<char[]>(size);
        std::memcpy(file->exact_.get(), data, size);
    }
    file->data_ = file->exact_.get();
    file->size_ = size;
    return file;
}

TMappedFile::~TMappedFile() {
    if (mapping_ != nullptr) {
        TBusGuard::Unregister(guard_);
        ::munmap(mapping_, size_);
    }
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool TMappedFile::Read(std::uint64_t offset, std::size_t length, std::string_view& out) const {
    const std::uint64_t size = IntactSize();
    if (offset > size || length > size - offset) {
        return false;
    }
    out = std::string_view(data_ + offset, length);
    return true;
}

bool TMappedFile::ReadU8(std::uint64_t offset, std::uint8_t& value) const {
    std::string_view b;
    if (!Read(offset, 1, b)) {
        return false;
    }
    value = static_cast<std::uint8_t>(b[0]);
    return true;
}

bool TMappedFile::ReadU32(std::uint64_t offset, std::uint32_t& value) const {
    std::string_view b;
    if (!Read(offset, 4, b)) {
        return false;
    }
    value = 0;
    for (int i = 3; i >= 0; --i) {
        value = (value << 8) | static_cast<std::uint8_t>(b[i]);
    }
    return true;
}

void TMappedFile::AdviseSequential() const {
    if (mapping_ != nullptr) {
        ::madvise(mapping_, size_, MADV_SEQUENTIAL);
    }
}
