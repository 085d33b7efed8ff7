#include "convert/TTableSearch.h"

#include <gtest/gtest.h>

#include "TestText.h"

namespace {

// Two mail rows of two columns.
TResultTable Table() {
    TResultTable table({"a", "b"});
    table.SetRowCount(TResultTable::FirstMailRow + 2);
    table.SetCell(2, 1, Sj("山田 Taro"));
    table.SetCell(2, 2, "x@Example.JP");
    table.SetCell(3, 1, Sj("表示"));  // 表 is 0x95 0x5C: its second byte is "\"
    table.SetCell(3, 2, Sj("鈴木 taro"));
    return table;
}

using TCell = TTableSearch::TCell;

}  // namespace

TEST(TableSearch, FindsJapaneseAndAsciiInEitherCaseAndWrapsAround) {
    const TResultTable table = Table();
    struct {
        const char* query;
        std::optional<TCell> from;
        bool forward;
        std::optional<TCell> found;
    } const cases[] = {
        {"taro", std::nullopt, true, TCell{2, 1}},       {"TARO", TCell{2, 1}, true, TCell{3, 2}},
        {"taro", TCell{3, 2}, true, TCell{2, 1}},         // wraps to the start
        {"taro", std::nullopt, false, TCell{3, 2}},       // backward from the end
        {"taro", TCell{2, 1}, false, TCell{3, 2}},        // backward wraps
        {"example.jp", std::nullopt, true, TCell{2, 2}},  // ASCII case-insensitive
        {"鈴木", std::nullopt, true, TCell{3, 2}},        // Japanese as typed
        {"山田", TCell{2, 1}, true, TCell{2, 1}},         // the only match: itself last
        {"\\", std::nullopt, true, std::nullopt},         // never a trail byte
        {"佐藤", std::nullopt, true, std::nullopt},      {"", std::nullopt, true, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TTableSearch(Sj(c.query)).Next(table, c.from, c.forward), c.found) << c.query;
    }
}
