#include "convert/TCsvSpool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using TRows = std::vector<std::vector<std::string>>;

struct TCase {
    const char* name;
    int columns;
    TRows rows;
    std::string text;
};

class TCsvSpoolTest : public testing::TestWithParam<TCase> {};

// The spool gives back the rows' CSV lines in order, in blocks that never
// end inside a line.
TEST_P(TCsvSpoolTest, GivesBackTheLines) {
    const TCase& c = GetParam();
    TCsvSpool spool(c.columns, false);
    ASSERT_TRUE(spool.IsOpen());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
        spool.PutRow(static_cast<int>(i) + 1, std::vector<std::string>(c.rows[i]));
    }
    ASSERT_TRUE(spool.Finish());
    EXPECT_EQ(spool.RowCount(), static_cast<int>(c.rows.size()));
    std::string text;
    ASSERT_TRUE(spool.ForEachBlock([&](std::string_view block) {
        EXPECT_TRUE(block.ends_with("\n"));
        text.append(block);
        return true;
    }));
    EXPECT_EQ(text, c.text);
}

const std::string kLong(3 << 20, 'x');  // longer than a block

INSTANTIATE_TEST_SUITE_P(
    Rows, TCsvSpoolTest,
    testing::Values(TCase{"NoRows", 2, {}, ""},
                    TCase{"Quoted",
                          2,
                          {{"a", "b c"}, {"x,y", "\"q\""}},
                          "a,\"b c\"\r\n\"x,y\",\"\"\"q\"\"\"\r\n"},
                    TCase{"SkippedMailHasEmptyCells", 3, {{"a", "b", "c"}, {}}, "a,b,c\r\n,,\r\n"},
                    TCase{"LoneEmptyCell", 1, {{""}, {}}, "\"\"\r\n\"\"\r\n"},
                    TCase{"LinesLongerThanABlock",
                          1,
                          {{kLong}, {"b"}, {kLong}},
                          kLong + "\r\nb\r\n" + kLong + "\r\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TCsvSpoolTest, WriterFailureStopsTheReading) {
    TCsvSpool spool(1, false);
    for (int i = 0; i < 300000; ++i) {
        spool.PutRow(i + 1, {"row " + std::to_string(i)});
    }
    ASSERT_TRUE(spool.Finish());
    int blocks = 0;
    EXPECT_FALSE(spool.ForEachBlock([&](std::string_view) { return ++blocks < 2; }));
    EXPECT_EQ(blocks, 2);
}

}  // namespace
