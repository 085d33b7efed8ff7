#include "mail/TMaildirName.h"

#include <algorithm>
#include <compare>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Runs of digits compared as numbers of any length, other bytes as bytes:
// "M99P1" before "M100P1", as the writers count without leading zeros.
std::strong_ordering CompareNatural(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (!IsDigit(a[i]) || !IsDigit(b[j])) {
            if (a[i] != b[j]) {
                return static_cast<unsigned char>(a[i]) <=> static_cast<unsigned char>(b[j]);
            }
            ++i;
            ++j;
            continue;
        }
        while (i < a.size() && a[i] == '0') {
            ++i;
        }
        while (j < b.size() && b[j] == '0') {
            ++j;
        }
        const std::size_t aFrom = i;
        const std::size_t bFrom = j;
        while (i < a.size() && IsDigit(a[i])) {
            ++i;
        }
        while (j < b.size() && IsDigit(b[j])) {
            ++j;
        }
        const std::string_view aRun = a.substr(aFrom, i - aFrom);
        const std::string_view bRun = b.substr(bFrom, j - bFrom);
        if (aRun.size() != bRun.size()) {
            return aRun.size() <=> bRun.size();
        }
        if (const auto order = aRun <=> bRun; order != 0) {
            return order < 0 ? std::strong_ordering::less : std::strong_ordering::greater;
        }
    }
    return (a.size() - i) <=> (b.size() - j);
}

}  // namespace

std::size_t TMaildirName::TimeDigits(std::string_view name) {
    std::size_t digits = 0;
    while (digits < name.size() && IsDigit(name[digits])) {
        ++digits;
    }
    return digits == name.size() || name[digits] == '.' ? digits : 0;
}

bool TMaildirName::IsTrashed(std::string_view name) {
    const std::size_t info = name.rfind(":2,");
    return info != std::string_view::npos && name.find('T', info + 3) != std::string_view::npos;
}

std::optional<std::uint64_t> TMaildirName::SizeHint(std::string_view name) {
    constexpr std::size_t kMaxDigits = 19;  // fits in 64 bits
    for (std::size_t at = name.find(','); at != std::string_view::npos;
         at = name.find(',', at + 1)) {
        if (name.substr(at + 1, 2) != "S=") {
            continue;
        }
        std::string_view digits = name.substr(at + 3);
        digits = digits.substr(0, std::min(digits.find_first_of(",:"), digits.size()));
        if (digits.empty() || digits.size() > kMaxDigits ||
            !std::all_of(digits.begin(), digits.end(), IsDigit)) {
            return std::nullopt;
        }
        std::uint64_t size = 0;
        for (const char c : digits) {
            size = size * 10 + static_cast<std::uint64_t>(c - '0');
        }
        return size;
    }
    return std::nullopt;
}

// A run of digits is coded as '0' (which orders against other bytes as any
// digit does), its count of digits past leading zeros and those digits; a
// name that ends is padded with 0 bytes (no byte of a name), and a run too
// long to count fills the key with 0xFF (it is longer than any counted run).
std::uint64_t TMaildirName::OrderKey(std::string_view rest) {
    constexpr std::size_t kLongRun = 0xFF;
    unsigned char code[8] = {};
    std::size_t used = 0;
    const auto put = [&](unsigned char c) {
        if (used < sizeof code) {
            code[used++] = c;
        }
    };
    for (std::size_t i = 0; i < rest.size() && used < sizeof code;) {
        if (!IsDigit(rest[i])) {
            put(static_cast<unsigned char>(rest[i++]));
            continue;
        }
        while (i < rest.size() && rest[i] == '0') {
            ++i;
        }
        const std::size_t from = i;
        while (i < rest.size() && IsDigit(rest[i])) {
            ++i;
        }
        put('0');
        if (i - from >= kLongRun) {
            while (used < sizeof code) {
                put(0xFF);
            }
            break;
        }
        put(static_cast<unsigned char>(i - from));
        for (std::size_t k = from; k < i; ++k) {
            put(static_cast<unsigned char>(rest[k]));
        }
    }
    std::uint64_t key = 0;
    for (const unsigned char c : code) {
        key = key << 8 | c;
    }
    return key;
}

int TMaildirName::Compare(std::string_view a, std::string_view b) {
    const bool aTimed = TimeDigits(a) != 0;
    const bool bTimed = TimeDigits(b) != 0;
    if (aTimed != bTimed) {
        return aTimed ? -1 : 1;
    }
    // With a time first, this compares the times as numbers, then the rest.
    // The bytes both names start with compare the same either way: the
    // comparison starts at the run of digits that holds the first difference.
    std::size_t same = static_cast<std::size_t>(
        std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin());
    while (same > 0 && IsDigit(a[same - 1])) {
        --same;
    }
    auto order = CompareNatural(a.substr(same), b.substr(same));
    if (order == 0) {
        order = a <=> b;
    }
    return order < 0 ? -1 : order > 0 ? 1 : 0;
}
