#include "convert/TCsvText.h"

#include <array>

namespace {

// Byte classes. The rule is stated per character, a double-byte character
// being one; but the second byte of a Shift_JIS character is 0x40 or above,
// so it can never be one of the bytes looked for here, and a plain byte scan
// gives exactly the per-character result, at memory speed.
enum : unsigned char { kPlain = 0, kQuote = 1, kCr = 2 };

constexpr std::array<unsigned char, 256> MakeClasses() {
    std::array<unsigned char, 256> classes{};
    for (int c = 0x01; c <= 0x20; ++c) {
        classes[c] = kQuote;  // control bytes, LF, tab, blank
    }
    classes['"'] = kQuote;
    classes[','] = kQuote;
    classes['\r'] = kCr;  // removed; a lone CR is no reason to quote
    return classes;
}

constexpr std::array<unsigned char, 256> kClasses = MakeClasses();

// Bitwise OR of the classes of all bytes in the cell.
unsigned char Classify(std::string_view cell) {
    unsigned char all = 0;
    for (const char c : cell) {
        all |= kClasses[static_cast<unsigned char>(c)];
    }
    return all;
}

}  // namespace

bool TCsvText::NeedsQuotes(std::string_view cell) {
    return (Classify(cell) & kQuote) != 0;
}

bool TCsvText::LooksLikeFormula(std::string_view cell) {
    if (cell.empty()) {
        return false;
    }
    const char c = cell.front();
    return c == '=' || c == '+' || c == '-' || c == '@' || c == '\t' || c == '\r';
}

void TCsvText::AppendCell(std::string& out, std::string_view cell, bool safeCells) {
    const unsigned char classes = Classify(cell);
    const bool guard = safeCells && LooksLikeFormula(cell);
    if (classes == kPlain) {
        if (guard) {
            out += '\'';
        }
        out.append(cell);
        return;
    }
    const bool quoted = (classes & kQuote) != 0;
    if (quoted) {
        out += '"';
    }
    if (guard) {
        out += '\'';
    }
    // Runs between the bytes that change are found by memchr and copied whole.
    constexpr auto npos = std::string_view::npos;
    std::size_t run = 0;
    std::size_t quote = cell.find('"');
    std::size_t cr = (classes & kCr) != 0 ? cell.find('\r') : npos;
    while (quote != npos || cr != npos) {
        if (quote < cr) {
            out.append(cell.substr(run, quote + 1 - run));
            out += '"';
            run = quote + 1;
            quote = cell.find('"', run);
        } else {
            out.append(cell.substr(run, cr - run));
            run = cr + 1;
            cr = cell.find('\r', run);
        }
    }
    out.append(cell.substr(run));
    if (quoted) {
        out += '"';
    }
}
