#include "mail/TMappedFile.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

// Closes the descriptor whatever happens while the file is being mapped.
class TFd {
  public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }

  private:
    int fd_;
};

[[noreturn]] void ThrowOpenError(const std::filesystem::path& path) {
    throw TKestrifyError(TSjisUnicode::FromUtf8("ファイルが開けません。\n") +
                         TSjisUnicode::FromPath(path));
}

}  // namespace

TMappedFile::TMappedFile(const std::filesystem::path& path) {
    // Non-blocking, so that a pipe named like a mail cannot stall the reader.
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd.Get() < 0 || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        ThrowOpenError(path);
    }
    size_ = static_cast<std::size_t>(st.st_size);
    if (size_ <= kReadLimit) {
        ReadWhole(fd.Get(), path);
        return;
    }
    void* map = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd.Get(), 0);
    if (map == MAP_FAILED) {
        ThrowOpenError(path);
    }
    mapping_ = map;
    data_ = static_cast<const char*>(map);
}

// Small files (single mails) are read: cheaper than mapping, and a file cut
// short by another program while it is read cannot fault the process.
void TMappedFile::ReadWhole(int fd, const std::filesystem::path& path) {
    bytes_.resize(size_);
    std::size_t done = 0;
    while (done < size_) {
        const ssize_t n = ::pread(fd, bytes_.data() + done, size_ - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ThrowOpenError(path);
        }
        if (n == 0) {
            break;  // the file got shorter since it was measured
        }
        done += static_cast<std::size_t>(n);
    }
    bytes_.resize(done);
    data_ = bytes_.data();
    size_ = done;
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
        ::munmap(mapping_, size_);
    }
}

bool TMappedFile::Read(std::uint64_t offset, std::size_t length, std::string_view& out) const {
    if (offset > size_ || length > size_ - offset) {
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
