#include "base/LineSplitter.h"

#include <cstring>

TLineSplitter::TLineSplitter(std::string_view text) : text_(text) {
    if (const void* nul = std::memchr(text_.data(), '\0', text_.size())) {
        text_ = text_.substr(0, static_cast<const char*>(nul) - text_.data());
    }
}

bool TLineSplitter::Next(std::string_view& line) {
    if (pos_ >= text_.size()) {
        return false;
    }
    const std::size_t end = text_.find_first_of("\r\n", pos_);
    if (end == std::string_view::npos) {
        line = text_.substr(pos_);
        pos_ = text_.size();
        return true;
    }
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    if (text_[end] == '\r' && pos_ < text_.size() && text_[pos_] == '\n') {
        ++pos_;
    }
    return true;
}

std::vector<std::string> TLineSplitter::Split(std::string_view text) {
    std::vector<std::string> lines;
    TLineSplitter splitter(text);
    std::string_view line;
    while (splitter.Next(line)) {
        lines.emplace_back(line);
    }
    return lines;
}
