#pragma once
// Real mail samples. The fuller shared set beside the checkout is used when
// it is there; otherwise the copies under tests/data/corpus. Tests of files
// that exist only in the shared set skip when it is missing.

#include <filesystem>
#include <string>
#include <string_view>

inline std::string CorpusFile(std::string_view name) {
    const std::filesystem::path shared =
        std::filesystem::path(KESTRIFY_SHARED_DIR) / "corpus" / name;
    std::error_code ec;
    if (std::filesystem::exists(shared, ec)) {
        return shared.string();
    }
    return (std::filesystem::path(KESTRIFY_TEST_DATA_DIR) / "corpus" / name).string();
}

inline bool HaveCorpusFile(std::string_view name) {
    std::error_code ec;
    return std::filesystem::exists(CorpusFile(name), ec);
}

// Ends the test as skipped when sample `name` is in neither place.
#define KFY_NEED_CORPUS(name)                                                              \
    do {                                                                                   \
        if (!HaveCorpusFile(name)) {                                                       \
            GTEST_SKIP() << "optional sample " << (name) << " is not beside the checkout"; \
        }                                                                                  \
    } while (0)
