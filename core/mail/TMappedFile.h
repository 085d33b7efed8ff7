#pragma once
// Read-only view of a whole file. Stores of several gigabytes are mapped,
// never copied, and small files are simply read. Readers keep offsets into
// the view and copy only the bytes of the mail they are asked for. The view
// is immutable, so any number of threads may read from it at once. A buffer
// already in memory can stand in for a file (tests, fuzzing, benchmarks).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/TFd.h"

struct TMappedGuardSlot;

class TMappedFile {
  public:
    // Throws TKestrifyError when the file cannot be opened or mapped.
    explicit TMappedFile(const std::filesystem::path& path);
    // The first `size` bytes of the plain file open as `fd` (its size when
    // it was opened: one that grows meanwhile is read up to there), named
    // `path` in messages. Takes the descriptor when the file is mapped.
    static std::unique_ptr<TMappedFile> FromOpenFile(TFd& fd, std::uint64_t size,
                                                     const std::filesystem::path& path);
    // The first `size` bytes (at most SmallSize()) of the file open as `fd`,
    // read from its start into `buffer`, which the caller keeps for its next
    // file (one of millions of small mails costs no allocation). Fewer when
    // the file got shorter. Nullopt when it cannot be read.
    static std::optional<std::string_view> ReadSmall(int fd, std::uint64_t size,
                                                     std::string& buffer);
    // The whole file open as `fd` (and not yet read) in one read, when it
    // holds exactly `size` bytes (below SmallSize()), a size its name tells:
    // one byte more is asked for, so a file that grew, a device or a pipe
    // gives nullopt and is measured instead. Nullopt also when it cannot
    // be read.
    static std::optional<std::string_view> ReadIfSize(int fd, std::uint64_t size,
                                                      std::string& buffer);
    // Files up to this size are read into memory rather than mapped.
    static constexpr std::size_t SmallSize() { return kReadLimit; }
    // Holds `bytes` instead of a file.
    static std::unique_ptr<TMappedFile> FromBytes(std::string bytes);
    // A copy of `size` bytes in a heap block of exactly that size, so a
    // read one past the end is caught by a memory checker (a string's
    // terminating 0 would hide it).
    static std::unique_ptr<TMappedFile> FromBuffer(const void* data, std::size_t size);

    ~TMappedFile();
    TMappedFile(const TMappedFile&) = delete;
    TMappedFile& operator=(const TMappedFile&) = delete;

    std::string_view View() const { return {data_, size_}; }
    std::size_t Size() const { return size_; }

    // Bounds-checked positional read: the `length` bytes at `offset`, or
    // false (and nothing read) when they do not all lie inside the file.
    bool Read(std::uint64_t offset, std::size_t length, std::string_view& out) const;
    bool ReadU8(std::uint64_t offset, std::uint8_t& value) const;
    // Little-endian.
    bool ReadU32(std::uint64_t offset, std::uint32_t& value) const;

    // A mapped file cut short by another program while it is read does not
    // end the process: the vanished pages read as zeros. The bytes before
    // IntactSize() are the file's; CheckIntact throws TKestrifyError (the
    // read failure of the mail) when `part`, a view into View(), reaches
    // past them. Call it after reading the part.
    std::uint64_t IntactSize() const;
    void CheckIntact(std::string_view part) const;
    // False when `part` reaches past IntactSize().
    bool IsIntact(std::string_view part) const;
    // False once any part of the file was found cut short.
    bool IsWhole() const { return IntactSize() >= size_; }

    // The file is about to be read once from start to end.
    void AdviseSequential() const;
    // The bytes [from, to) are about to be read: their pages are brought
    // into the map ahead, in one call instead of a fault every few pages.
    void Prefault(std::size_t from, std::size_t to) const;

  private:
    // Files up to this size are read into memory rather than mapped.
    static constexpr std::size_t kReadLimit = 1 << 20;

    TMappedFile() = default;
    // Maps the first `size` bytes of `fd`, or reads them when they are few.
    void Load(TFd& fd, std::uint64_t size, const std::filesystem::path& path);
    // False when the file cannot be read.
    bool ReadWhole(int fd);

    const char* data_ = nullptr;
    std::size_t size_ = 0;
    void* mapping_ = nullptr;            // munmap'ed by the destructor
    int fd_ = -1;                        // of the mapped file
    TMappedGuardSlot* guard_ = nullptr;  // its slot in the SIGBUS guard, if any
    std::string bytes_;                  // the in-memory stand-in
    std::unique_ptr<char[]> exact_;
};
