#include "base/LineSplitter.h"

#include <cstring>

namespace {

// memchr is many times faster than a byte loop (or find_first_of, which
// calls memchr once per byte of the text).
std::size_t FindByte(std::string_view text, char c, std::size_t from, std::size_t to) {
    if (from >= to) {
        return to;
    }
    const void* p = std::memchr(text.data() + from, c, to - from);
    return p ? static_cast<std::size_t>(static_cast<const char*>(p) - text.data()) : to;
}

std::size_t FindByte(std::string_view text, char c, std::size_t from) {
    return FindByte(text, c, from, text.size());
}

}  // namespace

TLineSplitter::TLineSplitter(std::string_view text, TZeroByte zero) : text_(text) {
    if (zero == TZeroByte::kEndsText) {
        text_ = text_.substr(0, FindByte(text_, '\0', 0));
    }
    nextLf_ = FindByte(text_, '\n', 0);
    nextCr_ = FindByte(text_, '\r', 0);
}

bool TLineSplitter::Next(std::string_view& line) {
    if (pos_ >= text_.size()) {
        return false;
    }
    if (nextLf_ < pos_) {
        nextLf_ = FindByte(text_, '\n', pos_);
    }
    if (nextCr_ < pos_) {
        nextCr_ = FindByte(text_, '\r', pos_);
    }
    const std::size_t end = nextCr_ < nextLf_ ? nextCr_ : nextLf_;
    line = text_.substr(pos_, end - pos_);
    if (end == text_.size()) {
        pos_ = end;
        return true;
    }
    pos_ = end + 1;
    if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
        ++pos_;
    }
    return true;
}

std::vector<std::string> TLineSplitter::Split(std::string_view text, TZeroByte zero) {
    std::vector<std::string> lines;
    TLineSplitter splitter(text, zero);
    std::string_view line;
    while (splitter.Next(line)) {
        lines.emplace_back(line);
    }
    return lines;
}
