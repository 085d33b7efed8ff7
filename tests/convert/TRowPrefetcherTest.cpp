// The rows that kestrify-cli --jobs N hands to the loop: every chunk size,
// thread count and store size gives the rows of the sequential converter,
// packed by the sink, in order.

#include "convert/TRowPrefetcher.h"

#include <gtest/gtest.h>

#include "TFakeMailStore.h"
#include "TParamMaker.h"
#include "convert/TResultTable.h"

namespace {

std::unique_ptr<TCSVConverter> Converter(int count) {
    auto reader = std::make_unique<TFakeReader>(count);
    reader->FailAt(3, TFakeReader::TFailure::Reader)
        .FailAt(count - 1, TFakeReader::TFailure::Regex);
    const TOrderedParamString name = PlainParam("Name:", 0, "name", TOrderedParamString::RowSingle,
                                                TOrderedParamString::PosBody, 0);
    return std::make_unique<TCSVConverter>(
        std::move(reader), std::make_unique<TConvertParam>(std::vector<TOrderedParamString>{name}));
}

// Column 1 of every row, "!" where building it threw, taking at most
// `limit` rows.
std::vector<std::string> TakeAll(TRowPrefetcher& prefetcher, int limit) {
    TResultTable table(2);
    std::vector<std::string> rows;
    TRowChunk chunk;
    while (static_cast<int>(rows.size()) < limit && prefetcher.Take(chunk)) {
        EXPECT_EQ(chunk.first, static_cast<int>(rows.size()));
        for (int r = 0; r < chunk.Size(); ++r) {
            if (chunk.Error(r)) {
                rows.push_back("!");
                continue;
            }
            table.PutPacked(chunk.first + r + 1, chunk.Row(r));
            rows.emplace_back(table.Cell(table.RowCount() - 1, 1));
        }
    }
    return rows;
}

TEST(TRowPrefetcherTest, EveryShapeGivesTheSequentialRowsInOrder) {
    struct TShape {
        int count, threads;
        TRowPrefetcher::TLimits limits;
    };
    for (const TShape s : {
             TShape{5, 1, {1, 1, 1, 1}},
             TShape{17, 2, {2, 3, 16, 1}},
             TShape{50, 2, {}},
             TShape{101, 3, {4, 9, 40, 2}},
             TShape{9, 8, {}},
             TShape{200, 4, {1, 256, 1 << 20, 1}},
         }) {
        SCOPED_TRACE(::testing::Message() << s.count << " mails, " << s.threads << " threads, "
                                          << s.limits.maxRows << " rows a chunk at most");
        const auto converter = Converter(s.count);
        const TResultTable packer(2);
        TRowPrefetcher prefetcher(*converter, packer, s.count, s.threads, s.limits);
        std::vector<std::string> expected;
        for (int i = 0; i < s.count; ++i) {
            try {
                expected.push_back(converter->BuildRow(i).at(0));
            } catch (const std::exception&) {
                expected.emplace_back("!");
            }
        }
        EXPECT_EQ(TakeAll(prefetcher, s.count), expected);
        TRowChunk after;
        EXPECT_FALSE(prefetcher.Take(after));
    }
}

TEST(TRowPrefetcherTest, StoppingEarlyLeavesNoMailBehind) {
    const int before = TFakeMail::live;
    for (int taken : {0, 1, 10, 99}) {
        const auto converter = Converter(100);
        const TResultTable packer(2);
        TRowPrefetcher prefetcher(*converter, packer, 100, 2, {2, 8, 64, 2});
        TakeAll(prefetcher, taken);
    }
    EXPECT_EQ(TFakeMail::live, before);
}

}  // namespace
