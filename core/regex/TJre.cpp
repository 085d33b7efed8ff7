#include "regex/TJre.h"

#include <oniguruma.h>

#include <array>
#include <mutex>

#include "base/SjisText.h"

// One compiled pattern. A pattern that failed to compile is kept too (with
// its message), so a broken key is not recompiled for every line of every
// mail.
struct TJre::TCompiled {
    OnigRegex regex = nullptr;
    std::string error;

    TCompiled() = default;
    TCompiled(const TCompiled&) = delete;
    TCompiled& operator=(const TCompiled&) = delete;
    ~TCompiled() {
        if (regex != nullptr) {
            onig_free(regex);
        }
    }
};

namespace {

std::string ErrorText(int code, OnigErrorInfo* info = nullptr) {
    OnigUChar buffer[ONIG_MAX_ERROR_MESSAGE_LEN + 1] = {};
    const int length = info != nullptr ? onig_error_code_to_str(buffer, code, info)
                                       : onig_error_code_to_str(buffer, code);
    // The engine's messages are ASCII; bytes of the pattern quoted in them
    // are already Shift_JIS.
    return std::string(reinterpret_cast<const char*>(buffer),
                       length > 0 ? static_cast<std::size_t>(length) : 0);
}

// A region per thread, reused by every search of that thread: searches on
// one shared pattern are safe as long as each has its own region.
OnigRegion* ThreadRegion() {
    struct TRegionFree {
        void operator()(OnigRegion* r) const { onig_region_free(r, 1); }
    };
    thread_local std::unique_ptr<OnigRegion, TRegionFree> region(onig_region_new());
    return region.get();
}

const OnigUChar* Bytes(std::string_view text) {
    return reinterpret_cast<const OnigUChar*>(text.data());
}

}  // namespace

std::atomic<bool> TJre::available_{true};

bool TJre::IsAvailable() {
    return available_.load(std::memory_order_relaxed);
}

void TJre::SetAvailableForTesting(bool available) {
    available_.store(available, std::memory_order_relaxed);
}

TJre& TJre::Instance() {
    static TJre instance;
    return instance;
}

TJre::TJre() {
    OnigEncoding encodings[] = {ONIG_ENCODING_SJIS};
    onig_initialize(encodings, 1);
}

TJre::~TJre() {
    cache_.clear();
    onig_end();
}

const TJre::TCompiled& TJre::Lookup(std::string_view pattern) {
    // The few patterns a conversion uses over and over are found again
    // without hashing and without touching the shared lock.
    struct TRecent {
        std::string pattern;
        const TCompiled* compiled = nullptr;
    };
    constexpr std::size_t kRecent = 8;
    thread_local std::array<TRecent, kRecent> recent;
    thread_local std::size_t nextSlot = 0;
    for (const TRecent& r : recent) {
        if (r.compiled != nullptr && r.pattern == pattern) {
            return *r.compiled;
        }
    }
    const TCompiled& compiled = LookupShared(pattern);
    TRecent& slot = recent[nextSlot++ % kRecent];
    slot.pattern.assign(pattern);
    slot.compiled = &compiled;
    return compiled;
}

const TJre::TCompiled& TJre::LookupShared(std::string_view pattern) {
    {
        std::shared_lock lock(mutex_);
        const auto it = cache_.find(pattern);
        if (it != cache_.end()) {
            return *it->second;
        }
    }
    // The engine must not build two patterns at the same time; the exclusive
    // lock serialises compiling.
    std::unique_lock lock(mutex_);
    const auto it = cache_.find(pattern);
    if (it != cache_.end()) {
        return *it->second;
    }
    auto compiled = std::make_unique<TCompiled>();
    if (pattern.empty()) {
        compiled->error = "empty pattern";
    } else if (!sjis::IsValid(pattern)) {
        compiled->error = ErrorText(ONIGERR_INVALID_CODE_POINT_VALUE);
    } else {
        OnigErrorInfo info{};
        const int r = onig_new(&compiled->regex, Bytes(pattern), Bytes(pattern) + pattern.size(),
                               ONIG_OPTION_NONE, ONIG_ENCODING_SJIS, ONIG_SYNTAX_PERL, &info);
        if (r != ONIG_NORMAL) {
            compiled->regex = nullptr;
            compiled->error = ErrorText(r, &info);
        }
    }
    const auto& entry = *compiled;
    cache_.emplace(std::string(pattern), std::move(compiled));
    return entry;
}

bool TJre::Compile(std::string_view pattern, std::string* error) {
    const TCompiled& compiled = Lookup(pattern);
    if (error != nullptr) {
        *error = compiled.error;
    }
    return compiled.regex != nullptr;
}

std::optional<TJreMatch> TJre::Search(std::string_view pattern, std::string_view text) {
    if (!IsAvailable() || text.empty()) {
        return std::nullopt;
    }
    const TCompiled& compiled = Lookup(pattern);
    if (compiled.regex == nullptr) {
        return std::nullopt;
    }
    // Repair keeps every byte offset, so a match in the repaired text is a
    // match at the same place in the original.
    std::string repaired;
    std::string_view subject = text;
    if (!sjis::IsValid(text)) {
        repaired = sjis::Repair(text);
        subject = repaired;
    }
    OnigRegion* region = ThreadRegion();
    const OnigUChar* start = Bytes(subject);
    const OnigUChar* end = start + subject.size();
    const int r = onig_search(compiled.regex, start, end, start, end, region, ONIG_OPTION_NONE);
    if (r == ONIG_MISMATCH) {
        return std::nullopt;
    }
    if (r < 0) {
        throw TJreException(ErrorText(r));
    }
    return TJreMatch{static_cast<std::size_t>(region->beg[0]),
                     static_cast<std::size_t>(region->end[0] - region->beg[0])};
}

std::string_view TJre::MatchView(std::string_view pattern, std::string_view text) {
    const auto match = Search(pattern, text);
    return match ? text.substr(match->position, match->length) : std::string_view();
}

std::string TJre::Match(std::string_view pattern, std::string_view text) {
    return std::string(MatchView(pattern, text));
}

std::size_t TJre::CachedPatternCount() const {
    std::shared_lock lock(mutex_);
    return cache_.size();
}
