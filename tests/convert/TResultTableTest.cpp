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
    EXPECT_EQ(table.Row(3), (std::vector<std::string>{"", ""}));
    table.SetRowCount(1);
    EXPECT_EQ(table.RowCount(), 1);
    EXPECT_EQ(table.Row(0), (std::vector<std::string>{"", "A"}));
    EXPECT_THROW(table.Row(1), std::out_of_range);
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
