#include "convert/TCsvSpool.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/TScratchFile.h"

#include "codeconv/TSjisUnicode.h"
#include "convert/TCsvText.h"

namespace {

constexpr std::size_t kBlockSize = 1 << 20;

// A mail's values as the table row TCsvText writes: the number column
// first (never written), missing values empty.
struct TValuesRow {
    const std::vector<std::string>& values;
    std::size_t columns;

    std::size_t size() const { return columns + 1; }
    std::string_view operator[](std::size_t c) const {
        return c == 0 || c > values.size() ? std::string_view() : std::string_view(values[c - 1]);
    }
};

}  // namespace

namespace {

// In $TMPDIR, as every temporary file of the program.
std::FILE* OpenScratch() {
    const int fd = TScratchFile::Open();
    if (fd < 0) {
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "w+");
    if (file == nullptr) {
        const int error = errno;
        ::close(fd);
        errno = error;
    }
    return file;
}

}  // namespace

TCsvSpool::TCsvSpool(int columns, bool safeCells)
    : file_(OpenScratch()), columns_(columns), safeCells_(safeCells) {
    if (file_ == nullptr) {
        error_ = errno;
    }
    block_.reserve(kBlockSize + kBlockSize / 4);
}

void TCsvSpool::WriteInto(TOutputFile& target, bool utf8) {
    target_ = &target;
    utf8_ = utf8;
    if (file_ != nullptr) {
        std::fclose(file_);
        file_ = nullptr;
    }
    error_ = 0;
}

TCsvSpool::~TCsvSpool() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void TCsvSpool::PutRow(int number, std::vector<std::string>&& values) {
    Pack(number, std::move(values), block_);
    Kept();
}

void TCsvSpool::Pack(int, std::vector<std::string>&& values, std::string& out) const {
    TCsvText::AppendRow(out, TValuesRow{values, static_cast<std::size_t>(columns_)}, safeCells_);
}

void TCsvSpool::PutPacked(int, std::string_view packed) {
    block_ += packed;
    Kept();
}

void TCsvSpool::Kept() {
    ++rows_;
    if (block_.size() >= kBlockSize) {
        Flush();
    }
}

bool TCsvSpool::Flush() {
    if (error_ == 0 && target_ != nullptr && !block_.empty()) {
        // Blocks end at line ends, so no double-byte character is cut.
        if (!(utf8_ ? target_->Write(TSjisUnicode::ToUtf8(block_)) : target_->Write(block_))) {
            error_ = target_->Error() != 0 ? target_->Error() : EIO;
        }
    } else if (error_ == 0 && file_ != nullptr &&
               std::fwrite(block_.data(), 1, block_.size(), file_) != block_.size()) {
        error_ = errno != 0 ? errno : EIO;
    }
    block_.clear();
    return error_ == 0;
}

bool TCsvSpool::Finish() {
    if (target_ != nullptr) {
        return Flush();
    }
    if (file_ == nullptr) {
        return false;
    }
    if (!Flush() || std::fflush(file_) != 0) {
        error_ = error_ != 0 ? error_ : (errno != 0 ? errno : EIO);
        return false;
    }
    return true;
}

bool TCsvSpool::ForEachBlock(const std::function<bool(std::string_view)>& write) {
    if (target_ != nullptr) {
        return error_ == 0;
    }
    if (file_ == nullptr || error_ != 0) {
        return false;
    }
    std::rewind(file_);
    std::string block(kBlockSize, '\0');
    std::size_t held = 0;  // bytes of an unfinished line carried over
    while (true) {
        const std::size_t n = std::fread(block.data() + held, 1, block.size() - held, file_);
        const std::size_t size = held + n;
        if (n == 0) {
            if (std::ferror(file_)) {
                error_ = errno != 0 ? errno : EIO;
                return false;
            }
            return size == 0 || write(std::string_view(block.data(), size));
        }
        const std::size_t lineEnd = std::string_view(block.data(), size).rfind('\n');
        if (lineEnd == std::string_view::npos) {
            block.resize(block.size() * 2);  // one line longer than a block
            held = size;
            continue;
        }
        if (!write(std::string_view(block.data(), lineEnd + 1))) {
            return false;
        }
        held = size - lineEnd - 1;
        std::memmove(block.data(), block.data() + lineEnd + 1, held);
    }
}
