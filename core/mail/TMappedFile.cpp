#include "mail/TMappedFile.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
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

TMappedFile::TMappedFile(const std::filesystem::path& path) {
    // Non-blocking, so that a pipe named like a store cannot stall the reader.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        ThrowOpenError(path);
    }
    Load(fd, static_cast<std::uint64_t>(st.st_size), path);
}

std::unique_ptr<TMappedFile> TMappedFile::FromOpenFile(TFd& fd, std::uint64_t size,
                                                       const std::filesystem::path& path) {
    std::unique_ptr<TMappedFile> file(new TMappedFile());
    file->Load(fd, size, path);
    return file;
}

void TMappedFile::Load(TFd& fd, std::uint64_t size, const std::filesystem::path& path) {
    if (size > SIZE_MAX) {
        throw std::bad_alloc();  // no room to see the file in
    }
    size_ = static_cast<std::size_t>(size);
    if (size_ <= kReadLimit) {
        if (!ReadWhole(fd.Get())) {
            ThrowOpenError(path);
        }
        return;
    }
    void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
    if (map == MAP_FAILED && errno == ENOMEM) {
        throw std::bad_alloc();  // no room left to see the file in
    }
    if (map == MAP_FAILED) {
        ThrowOpenError(path);
    }
    mapping_ = map;
    data_ = static_cast<const char*>(map);
    fd_ = fd.Release();  // kept for the guard to measure the file
    guard_ = TBusGuard::Register(map, size_, fd_);
}

std::uint64_t TMappedFile::IntactSize() const {
    return guard_ != nullptr ? guard_->intact.load(std::memory_order_relaxed) : size_;
}

bool TMappedFile::IsIntact(std::string_view part) const {
    if (guard_ == nullptr) {
        return true;
    }
    const auto end = static_cast<std::uint64_t>(part.data() + part.size() - data_);
    return end <= guard_->intact.load(std::memory_order_relaxed);
}

void TMappedFile::CheckIntact(std::string_view part) const {
    if (!IsIntact(part)) {
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

std::optional<std::string_view> TMappedFile::ReadSmall(int fd, std::uint64_t size,
                                                       std::string& buffer) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(size, kReadLimit));
    if (buffer.size() < want) {
        buffer.resize(std::max(want, buffer.size() * 2));
    }
    std::size_t done = 0;
    while (done < want) {
        const ssize_t n = ::pread(fd, buffer.data() + done, want - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return std::nullopt;
        }
        if (n == 0) {
            break;  // the file got shorter since it was opened
        }
        done += static_cast<std::size_t>(n);
    }
    return std::string_view(buffer.data(), done);
}

std::optional<std::string_view> TMappedFile::ReadIfSize(int fd, std::uint64_t size,
                                                        std::string& buffer) {
    if (size >= kReadLimit) {
        return std::nullopt;
    }
    const auto want = static_cast<std::size_t>(size) + 1;
    if (buffer.size() < want) {
        buffer.resize(std::max(want, buffer.size() * 2));
    }
    ssize_t n = 0;
    do {
        n = ::read(fd, buffer.data(), want);
    } while (n < 0 && errno == EINTR);
    // A plain file gives all that is asked up to its end in one read.
    if (n < 0 || static_cast<std::uint64_t>(n) != size) {
        return std::nullopt;
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

void TMappedFile::Prefault(std::size_t from, std::size_t to) const {
    if (mapping_ == nullptr || from >= to || to > size_) {
        return;
    }
    static const auto kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t first = from / kPage * kPage;
    void* at = static_cast<char*>(mapping_) + first;
    // Pages past the file's end (cut short meanwhile) fail here and fault
    // later, where the guard sees them. Older kernels know no
    // MADV_POPULATE_READ: their faults map a few pages each as before.
#if defined(MADV_POPULATE_READ)
    (void)::madvise(at, to - first, MADV_POPULATE_READ);
#else
    (void)at;
#endif
}

void TMappedFile::AdviseSequential() const {
    if (mapping_ != nullptr) {
        ::madvise(mapping_, size_, MADV_SEQUENTIAL);
    }
}
