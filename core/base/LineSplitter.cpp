#include "base/LineSplitter.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The first CR or LF at or after `from` (the text's size when none): one
// pass for both, sixteen bytes at a time where SSE2 is there. Lines are
// short, so this beats a memchr call for each break byte per line.
std::size_t FindBreak(std::string_view text, std::size_t from) {
    const std::size_t n = text.size();
#if defined(__SSE2__)
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; from + 16 <= n; from += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + from));
        const int mask =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)));
        if (mask != 0) {
            return from + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
        }
    }
#endif
    for (; from < n; ++from) {
        if (text[from] == '\n' || text[from] == '\r') {
            return from;
        }
    }
    return n;
}

}  // namespace

TLineSplitter::TLineSplitter(std::string_view text, TZeroByte zero) : text_(text) {
    if (zero == TZeroByte::kEndsText) {
        text_ = text_.substr(0, FindByte(text_, '\0', 0));
    }
}

bool TLineSplitter::Next(std::string_view& line) {
    if (pos_ >= text_.size()) {
        return false;
    }
    const std::size_t end = FindBreak(text_, pos_);
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

void TLineSplitter::AppendViews(std::string_view text, std::vector<std::string_view>& lines,
                                TZeroByte zero) {
    if (zero == TZeroByte::kEndsText) {
        text = text.substr(0, FindByte(text, '\0', 0));
    }
    const char* const d = text.data();
    const std::size_t n = text.size();
    std::size_t start = 0;  // of the next line
    // A break byte before `start` is the LF of a CR LF pair.
    const auto lineTo = [&](std::size_t b) {
        if (b >= start) {
            lines.emplace_back(d + start, b - start);
            start = b + 1;
            if (d[b] == '\r' && start < n && d[start] == '\n') {
                ++start;
            }
        }
    };
    std::size_t i = 0;
#if defined(__SSE2__)
    // Every break of a block of 64 bytes from one mask: no search is started
    // and stopped per line, and a line of mail text costs about one pass of
    // the loop (a mask per sixteen bytes branched twice as often).
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    const auto breaks = [&](std::size_t at) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + at));
        return static_cast<std::uint64_t>(static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)))));
    };
    const auto linesTo = [&](std::size_t at, std::uint64_t mask) {
        while (mask != 0) {
            lineTo(at + static_cast<std::size_t>(__builtin_ctzll(mask)));
            mask &= mask - 1;
        }
    };
    for (; i + 64 <= n; i += 64) {
        linesTo(i, breaks(i) | breaks(i + 16) << 16 | breaks(i + 32) << 32 | breaks(i + 48) << 48);
    }
    for (; i + 16 <= n; i += 16) {
        linesTo(i, breaks(i));
    }
#endif
    for (; i < n; ++i) {
        if (d[i] == '\n' || d[i] == '\r') {
            lineTo(i);
        }
    }
    if (start < n) {
        lines.emplace_back(d + start, n - start);
    }
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
