#include "base/SjisText.h"

namespace sjis {

std::size_t CharLength(std::string_view text, std::size_t pos) {
    if (pos + 1 < text.size() && IsLeadByte(static_cast<unsigned char>(text[pos]))) {
        return 2;
    }
    return 1;
}

std::size_t Find(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) {
        return std::string_view::npos;
    }
    std::size_t boundary = from;
    std::size_t candidate = text.find(needle, from);
    while (candidate != std::string_view::npos) {
        while (boundary < candidate) {
            boundary += CharLength(text, boundary);
        }
        if (boundary == candidate) {
            return candidate;
        }
        // The candidate starts on a trail byte; look again from the next boundary.
        candidate = text.find(needle, boundary);
    }
    return std::string_view::npos;
}

bool IsValid(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(text[i]))) {
            if (i + 1 >= text.size() || !IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
                return false;
            }
            ++i;
        }
    }
    return true;
}

std::string Repair(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (IsLeadByte(static_cast<unsigned char>(out[i]))) {
            if (i + 1 >= out.size() || !IsTrailByte(static_cast<unsigned char>(out[i + 1]))) {
                out[i] = '?';
            } else {
                ++i;
            }
        }
    }
    return out;
}

std::string_view TrimControl(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && static_cast<unsigned char>(text[begin]) <= 0x20) {
        ++begin;
    }
    while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 0x20) {
        --end;
    }
    return text.substr(begin, end - begin);
}

std::string AsciiToUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = AsciiUpper(c);
    }
    return out;
}

std::string ToUpper(std::string_view text) {
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const auto c = static_cast<unsigned char>(out[i]);
        if (IsLeadByte(c) && i + 1 < out.size()) {
            ++i;
        } else if (c >= 'a' && c <= 'z') {
            out[i] = static_cast<char>(c - 'a' + 'A');
        }
    }
    return out;
}

}  // namespace sjis
