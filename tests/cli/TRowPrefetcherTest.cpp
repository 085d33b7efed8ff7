// The rows that kestrify-cli --jobs N hands to the loop: every window, thread
// count and store size gives the rows of the sequential converter, in order.

#include "convert/TRowPrefetcher.h"

#include <gtest/gtest.h>

#include "convert/TFakeMailStore.h"

namespace {

std::unique_ptr<TCSVConverter> Converter(int count) {
    auto reader = std::make_unique<TFakeReader>(count);
    reader->FailAt(3, TFakeReader::TFailure::Reader)
        .FailAt(count - 1, TFakeReader::TFailure::Regex);
    TOrderedParamString name(0, "Name:", 0, "name", 1, 0, false, false, false, 0, true, "", false,
                             false, false);
    return std::make_unique<TCSVConverter>(
        std::move(reader), std::make_unique<TConvertParam>(std::vector<TOrderedParamString>{name}));
}

// The row of mail i, or "!" when building it threw.
std::string Take(TRowPrefetcher& prefetcher, int i) {
    try {
        return prefetcher.Take(i).at(0);
    } catch (const std::exception&) {
        return "!";
    }
}

TEST(TRowPrefetcherTest, EveryShapeGivesTheSequentialRowsInOrder) {
    struct TShape {
        int count, threads, window;
    };
    for (const TShape s : {TShape{5, 1, 1}, TShape{17, 2, 3}, TShape{50, 2, 32}, TShape{101, 3, 48},
                           TShape{9, 8, 128}, TShape{200, 4, 7}}) {
        SCOPED_TRACE(::testing::Message()
                     << s.count << " mails, " << s.threads << " threads, window " << s.window);
        const auto converter = Converter(s.count);
        TRowPrefetcher prefetcher(*converter, s.count, s.threads, s.window);
        for (int i = 0; i < s.count; ++i) {
            std::string expected = "!";
            try {
                expected = converter->BuildRow(i).at(0);
            } catch (const std::exception&) {
            }
            ASSERT_EQ(Take(prefetcher, i), expected) << "mail " << i;
        }
    }
}

TEST(TRowPrefetcherTest, StoppingEarlyLeavesNoMailBehind) {
    const int before = TFakeMail::live;
    for (int taken : {0, 1, 10, 99}) {
        const auto converter = Converter(100);
        TRowPrefetcher prefetcher(*converter, 100, 2, 32);
        for (int i = 0; i < taken; ++i) {
            Take(prefetcher, i);
        }
    }
    EXPECT_EQ(TFakeMail::live, before);
}

TEST(TRowPrefetcherTest, RowsAreTakenInOrderOnly) {
    const auto converter = Converter(10);
    TRowPrefetcher prefetcher(*converter, 10, 2, 8);
    EXPECT_THROW(prefetcher.Take(1), std::logic_error);
    EXPECT_EQ(Take(prefetcher, 0), "n0");
}

}  // namespace
