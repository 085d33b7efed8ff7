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
