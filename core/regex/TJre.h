#pragma once
// Regular expressions over Shift_JIS byte strings (Oniguruma, Perl syntax).
// Each distinct pattern is compiled once and kept; searches may run from
// several threads at once. Texts that are not valid Shift_JIS are repaired
// before they reach the engine, so damaged mail can neither crash nor
// mislead a search.

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "regex/TJreException.h"

struct TJreMatch {
    std::size_t position = 0;  // byte offset of the leftmost match
    std::size_t length = 0;    // bytes
};

class TJre {
  public:
    // Whether the regular-expression engine can be used. Always true in the
    // shipped program; tests switch it off to exercise the absent-engine rules.
    static bool IsAvailable();
    static void SetAvailableForTesting(bool available);

    static TJre& Instance();

    TJre(const TJre&) = delete;
    TJre& operator=(const TJre&) = delete;
    ~TJre();

    // Compiles (or finds in the cache). False for an empty pattern or a
    // syntax error; `error` then receives the engine's message (Shift_JIS).
    bool Compile(std::string_view pattern, std::string* error = nullptr);

    // Leftmost match of `pattern` in `text`. Nothing for no match, an empty
    // text, an unavailable engine or a pattern that does not compile.
    // Throws TJreException when the search itself fails.
    std::optional<TJreMatch> Search(std::string_view pattern, std::string_view text);

    // The matched bytes, or empty text (the classic use: non-empty = match).
    std::string Match(std::string_view pattern, std::string_view text);

    // The matched bytes as a view into `text`: no copy for callers that only
    // look at the match. Empty when there is none.
    std::string_view MatchView(std::string_view pattern, std::string_view text);

    // Number of distinct patterns compiled so far (failed ones included).
    std::size_t CachedPatternCount() const;

  private:
    struct TCompiled;
    struct TTextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept {
            return std::hash<std::string_view>{}(s);
        }
    };

    TJre();
    const TCompiled& Lookup(std::string_view pattern);
    const TCompiled& LookupShared(std::string_view pattern);

    static std::atomic<bool> available_;

    mutable std::shared_mutex mutex_;
    // Entries are never removed while the program runs, so a reference
    // handed out by Lookup stays valid without holding the lock.
    std::unordered_map<std::string, std::unique_ptr<TCompiled>, TTextHash, std::equal_to<>> cache_;
};
