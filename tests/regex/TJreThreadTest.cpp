#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "TestText.h"
#include "regex/TJre.h"

namespace {

// Several threads compile new patterns and search shared ones at the same
// time; every result must be the one a lone thread would get.
TEST(TJreThreads, ConcurrentSearchesAndCompilesAgree) {
    const std::string text = Sj("受付番号：A-12345 お問い合わせ");
    const std::string shared = Sj("[A-Z]-(\\d+)");
    const std::size_t expectedPos = Sj("受付番号：").size();

    constexpr int kThreads = 4;
    constexpr int kRounds = 2000;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                const auto m = TJre::Instance().Search(shared, text);
                if (!m || m->position != expectedPos || m->length != 7) {
                    ++failures;
                }
                if (i % 100 == 0) {
                    // A pattern of this thread alone forces new compiles.
                    const std::string own = "t" + std::to_string(t) + "r" + std::to_string(i);
                    if (TJre::Instance().Match(own + "\\d*", "x" + own + "9") != own + "9") {
                        ++failures;
                    }
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
