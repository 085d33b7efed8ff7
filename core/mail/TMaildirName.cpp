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
