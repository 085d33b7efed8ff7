#pragma once
// What the name of a Maildir mail file tells: "1700000000.M1P2.host,S=5:2,S"
// starts with its delivery time and may end in ":2," and flag letters.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

class TMaildirName {
  public:
    // The count of the digits that start the name, when they make its whole
    // first part (up to the first "." or the end); else 0: no time.
    static std::size_t TimeDigits(std::string_view name);
    // Flagged T (trashed): the mail is on its way out of the folder.
    static bool IsTrashed(std::string_view name);
    // The file's size as a ",S=<bytes>" part of the name tells it
    // (Dovecot, maildrop, Courier write it), or nullopt.
    static std::optional<std::uint64_t> SizeHint(std::string_view name);
    // The order of arrival: by the time compared as a number (names
    // without one after all others), then by the rest of the name with its
    // runs of digits compared as numbers (the writers' microsecond and
    // counter parts have no leading zeros), then byte by byte. MH names are
    // bare numbers, so this is their order too.
    static bool Before(std::string_view a, std::string_view b) { return Compare(a, b) < 0; }
    // The first bytes of a code of `rest` that orders as Compare orders
    // names alike up to `rest` (the same time): when two keys differ, so do
    // the names, the same way. Sorting a million names mostly compares keys.
    static std::uint64_t OrderKey(std::string_view rest);
    // The same as negative, 0 (the same name) or positive.
    static int Compare(std::string_view a, std::string_view b);
};
