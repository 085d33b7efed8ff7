#include "convert/TResultTable.h"

#include <gtest/gtest.h>

#include "TestText.h"
#include "convert/TConvertMessages.h"

TEST(ResultTable, ColumnLettersLikeSpreadsheet) {
    const std::vector<std::pair<int, std::string>> cases = {{0, "A"},    {25, "Z"},   {26, "AA"},
                                                            {51, "AZ"},  {52, "BA"},  {255, "IV"},
                                                            {701, "ZZ"}, {702, "AAA"}};
    for (const auto& [index, letters] : cases) {
        EXPECT_EQ(TResultTable::ColumnLetter(index), letters) << index;
    }
}

TEST(ResultTable, RowCountAddsEmptyRowsAndCuts) {
    TResultTable table({"x"});
    EXPECT_EQ(table.ColumnCount(), 2);
    table.SetRowCount(4);
    EXPECT_EQ(table.Row(3).Cells(), (std::vector<std::string>{"", ""}));
    table.SetRowCount(1);
    EXPECT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.Row(0).Cells(), (std::vector<std::string>{"", "A"}));
    EXPECT_THROW(table.Row(1), std::out_of_range);
}

TEST(ResultTable, RowsKeepEveryByteThroughPutSetAndEdit) {
    TResultTable table({"a", "b", "c"});
    table.PutRow(1, {"x", std::string("n\0l", 3), ""});
    table.PutRow(2, {});        // a skipped mail: its number only
    table.PutRow(3, {"only"});  // missing values are empty
    table.SetCell(2, 3, "new");
    table.SetCell(2, 1, table.Cell(2, 2));  // text taken from the row being replaced
    table.SetCell(3, 0, "");
    table.SetRow(4, {"3", "p", "q", "r", "beyond the last column"});
    const std::vector<std::vector<std::string>> expected = {
        {"1", std::string("n\0l", 3), std::string("n\0l", 3), "new"},
        {"", "", "", ""},
        {"3", "p", "q", "r"},
    };
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(table.Row(r + 2).Cells(), expected[r]) << r;
    }
    EXPECT_THROW(table.Cell(2, 4), std::out_of_range);
    EXPECT_THROW(table.SetCell(5, 0, "x"), std::out_of_range);

    TResultTable moving(4);
    moving.PutRow(4, {"m"});
    moving.MoveRowsTo(table);
    EXPECT_EQ(moving.RowCount(), 0);
    EXPECT_EQ(table.Row(5).Cells(), (std::vector<std::string>{"4", "m", "", ""}));
    TResultTable narrow(2);
    EXPECT_THROW(table.MoveRowsTo(narrow), std::invalid_argument);

    // A row larger than the first slab but not large enough for one of its own.
    TResultTable large({"a"});
    large.PutRow(1, {std::string(40000, 'z')});
    EXPECT_EQ(large.Cell(2, 1), std::string(40000, 'z'));
}

// A window's rows are packed on the worker's thread into a slab that goes on
// filling while the rows already moved are read and edited elsewhere.
TEST(ResultTable, MovedRowsKeepTheirBytesWhileBothTablesGrow) {
    const auto value = [](int number) {
        // Now and then a row larger than any shared slab.
        const std::size_t size = number % 97 == 0 ? 300000 : static_cast<std::size_t>(number % 50);
        return std::string(size, static_cast<char>('a' + number % 26));
    };
    TResultTable shown({"v"});
    std::vector<std::vector<std::string>> expected;
    {
        TResultTable packing(2);
        for (int number = 1; number <= 3000; ++number) {
            if (number % 3 == 0) {
                std::string image;
                packing.Pack(number, {value(number)}, image);
                packing.PutPacked(number, image);
            } else {
                packing.PutRow(number, {value(number)});
            }
            expected.push_back({std::to_string(number), value(number)});
            if (number % 7 == 0) {
                packing.MoveRowsTo(shown);
                // An edit of a row already shown goes to the shown table's own slab.
                const int row = TResultTable::FirstMailRow + number / 2;
                shown.SetCell(row, 1, "edited " + std::to_string(number));
                expected[static_cast<std::size_t>(number / 2)][1] =
                    "edited " + std::to_string(number);
            }
        }
        packing.MoveRowsTo(shown);
    }
    ASSERT_EQ(shown.RowCount(), 3002);
    for (int r = 0; r < 3000; ++r) {
        ASSERT_EQ(shown.Row(r + TResultTable::FirstMailRow).Cells(),
                  expected[static_cast<std::size_t>(r)])
            << r;
    }
}

TEST(ConvertMessages, Texts) {
    EXPECT_EQ(TConvertMessages::Progress(3, 10), "(3/10)");
    EXPECT_EQ(Utf(TConvertMessages::Finished()), "変換処理を終了しました。");
    EXPECT_EQ(Utf(TConvertMessages::Saved()), "保存しました。");
    EXPECT_EQ(Utf(TConvertMessages::BackupFailed()),
              "バックアップファイルの作成に失敗しました。\n処理を続けますか？");
    EXPECT_EQ(Utf(TConvertMessages::LoopError(10, 4, Sj("読めません"))),
              "10中4番目のメールでエラーが発生しました。\n読めません");
}
