#pragma once
// Finds the separator lines of a one-file store: every place where a line
// starts with `separator` (a text starting with a letter). A line starts at
// the text's first byte and after every CR or LF; after a 0 byte the text
// goes on without a new line. So the text is searched for a line break
// followed by the separator's first letter instead of being cut into lines.

#include <cstddef>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Calls add(offset) for every separator after a line break at [from, to), in
// order (a separator at offset 0 is the caller's to check).
template <typename TAdd>
void FindSeparatorLines(std::string_view text, std::string_view separator, std::size_t from,
                        std::size_t to, TAdd&& add) {
    const std::size_t n = text.size();
    const char first = separator.front();
    std::size_t i = from;  // the line break before a possible separator
    const auto check = [&](std::size_t at) {
        if (text.substr(at, separator.size()) == separator) {
            add(at);
        }
    };
#if defined(__SSE2__)
    // Sixteen line-break positions at a time: a bit for every CR or LF
    // followed by the first letter. Such pairs are rare, so most blocks cost
    // a few instructions; a byte-wise search (memchr for it) stops far more
    // often.
    const __m128i letter = _mm_set1_epi8(first);
    const auto pairs = [&text, letter](std::size_t at) {
        const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at));
        const __m128i next =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + at + 1));
        const __m128i breaks = _mm_or_si128(_mm_cmpeq_epi8(here, _mm_set1_epi8('\n')),
                                            _mm_cmpeq_epi8(here, _mm_set1_epi8('\r')));
        return _mm_and_si128(breaks, _mm_cmpeq_epi8(next, letter));
    };
    const auto visit = [&](std::size_t at, __m128i found) {
        auto mask = static_cast<unsigned>(_mm_movemask_epi8(found));
        while (mask != 0) {
            check(at + static_cast<std::size_t>(__builtin_ctz(mask)) + 1);
            mask &= mask - 1;
        }
    };
    // Four blocks tested together: most hold no pair at all.
    for (; i + 64 <= to && i + 65 <= n; i += 64) {
        const __m128i a = pairs(i);
        const __m128i b = pairs(i + 16);
        const __m128i c = pairs(i + 32);
        const __m128i d = pairs(i + 48);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
            visit(i, a);
            visit(i + 16, b);
            visit(i + 32, c);
            visit(i + 48, d);
        }
    }
    for (; i + 16 <= to && i + 17 <= n; i += 16) {
        visit(i, pairs(i));
    }
#endif
    for (; i < to && i + 1 < n; ++i) {
        if ((text[i] == '\n' || text[i] == '\r') && text[i + 1] == first) {
            check(i + 1);
        }
    }
}
