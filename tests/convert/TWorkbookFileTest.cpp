#include "convert/TWorkbookFile.h"

#include <gtest/gtest.h>
#include <zip.h>

#include "TempDir.h"
#include "TestText.h"
#include "WorkbookCells.h"
#include "convert/TCsvFile.h"
#include "convert/TCsvRowReader.h"
#include "convert/TCsvSpool.h"

namespace {

using TRows = std::vector<std::vector<std::string>>;

class TWarningHost : public TCsvSaveHost {
  public:
    bool ConfirmBackupFailure(const std::string&) override { return true; }
    void ReportSaveFailure(const std::string& message) override {
        failures.push_back(Utf(message));
    }
    void SaveWarning(const std::string& message) override { warnings.push_back(Utf(message)); }

    std::vector<std::string> warnings;
    std::vector<std::string> failures;
};

// Titles and two mails with what CSV loses in a spreadsheet: leading
// zeros, long numbers, dates, line breaks, formulas, quotes and commas.
TResultTable Table() {
    TResultTable table({Sj("名前"), Sj("電話"), Sj("本文")});
    table.SetRowCount(4);
    table.SetRow(2, {"1", Sj("山田 太郎"), "09012345678", Sj("一行目\r\n二行目")});
    table.SetRow(3, {"2", "\"q\", c", "012345678901234567890", "=SUM(A1)"});
    return table;
}

TRows ParseCsv(const std::string& text) {
    TRows rows;
    TCsvRowReader reader([&](std::vector<std::string>& cells) {
        rows.push_back(cells);
        return true;
    });
    reader.Feed(text);
    reader.Finish();
    return rows;
}

// The workbook's cells, each row as long as the widest.
TRows Cells(const std::filesystem::path& path) {
    TRows rows = TWorkbookCells::Read(path).rows;
    std::size_t width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.size());
    }
    for (auto& row : rows) {
        row.resize(width);
    }
    return rows;
}

class WorkbookFile : public testing::Test {
  protected:
    std::string Path(const std::string& name) const { return dir_.File(name); }
    TRows Csv(TCsvSpool* spool) {
        TCsvFile csv(table_, host_, {.utf8 = true}, spool);
        EXPECT_TRUE(csv.WriteCsvFile(Path("same.csv"), 0));
        return ParseCsv(TTempDir::Read(Path("same.csv")));
    }

    TTempDir dir_;
    TResultTable table_ = Table();
    TWarningHost host_;
};

}  // namespace

TEST(TCsvRowReaderTest, RowsComeBackWhereverTheBlocksEnd) {
    const std::string text =
        "a,\"b,\"\"c\"\"\",\r\n\"x\ny\",,z\r\n\"\"\r\n" + Sj("表,ソ") + "\r\nlast";
    const TRows expected = {
        {"a", "b,\"c\"", ""}, {"x\ny", "", "z"}, {""}, {Sj("表"), Sj("ソ")}, {"last"}};
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        TRows rows;
        TCsvRowReader reader([&](std::vector<std::string>& cells) {
            rows.push_back(cells);
            return true;
        });
        reader.Feed(std::string_view(text).substr(0, cut));
        reader.Feed(std::string_view(text).substr(cut));
        reader.Finish();
        EXPECT_EQ(rows, expected) << "cut at " << cut;
    }
}

TEST_F(WorkbookFile, SameCellsAsTheCsvOfTheRunFromTableOrSpool) {
    TCsvFile book(table_, host_, {.sheetName = Sj("問い合わせ")});
    ASSERT_TRUE(book.WriteCsvFile(Path("out.XLSX"), 0));
    EXPECT_EQ(Cells(Path("out.XLSX")), Csv(nullptr));
    EXPECT_EQ(TWorkbookCells::Read(Path("out.XLSX")).sheetName, "問い合わせ");

    // The command's way: titles in the table, mail rows in the spool.
    const TResultTable titles({Sj("名前"), Sj("電話"), Sj("本文")});
    TCsvSpool spool(3, false);
    spool.PutRow(1, {Sj("山田 太郎"), "09012345678", Sj("一行目\n二行目")});
    spool.PutRow(2, {"\"q\", c", "012345678901234567890", "=SUM(A1)"});
    ASSERT_TRUE(spool.Finish());
    TCsvFile fromSpool(titles, host_, {.format = TCsvOptions::TFormat::Workbook}, &spool);
    EXPECT_FALSE(fromSpool.StreamRowsTo(Path("spool.dat"), 0));  // made whole at the end
    ASSERT_TRUE(fromSpool.WriteCsvFile(Path("spool.dat"), 0));
    EXPECT_EQ(Cells(Path("spool.dat")), Csv(nullptr));
    EXPECT_EQ(dir_.Listing(), "out.XLSX same.csv spool.dat ");
    EXPECT_TRUE(host_.warnings.empty());
}

TEST_F(WorkbookFile, AppendKeepsEveryOldRowAndAddsTitlesOnlyToANewFile) {
    TCsvFile book(table_, host_);
    ASSERT_TRUE(book.WriteCsvFile(Path("log.xlsx"), 1));  // missing: a new workbook
    ASSERT_TRUE(book.WriteCsvFile(Path("log.xlsx"), 1));
    ASSERT_TRUE(book.WriteCsvFile(Path("log.xlsx"), 1));
    TRows expected = Csv(nullptr);
    const TRows mails(expected.begin() + 1, expected.end());
    expected.insert(expected.end(), mails.begin(), mails.end());
    expected.insert(expected.end(), mails.begin(), mails.end());
    EXPECT_EQ(Cells(Path("log.xlsx")), expected);
    EXPECT_NE(TWorkbookCells::Read(Path("log.xlsx")).sheetXml.find("state=\"frozen\""),
              std::string::npos);
}

TEST_F(WorkbookFile, RefusalsLeaveTheOldFileAsItWas) {
    // Not a workbook, and a workbook with a formula: appending would lose them.
    TTempDir::Write(Path("text.xlsx"), "a,b\r\n");
    TCsvFile book(table_, host_);
    EXPECT_FALSE(book.WriteCsvFile(Path("text.xlsx"), 1));
    EXPECT_NE(Utf(book.LastFailure()).find("追記できません"), std::string::npos);
    EXPECT_EQ(TTempDir::Read(Path("text.xlsx")), "a,b\r\n");

    // Rows beyond Excel's limit: said, and nothing written.
    TCsvSpool many(1, false);
    for (int i = 0; i < 1048576; ++i) {
        many.PutRow(i + 1, {});
    }
    ASSERT_TRUE(many.Finish());
    const TResultTable titles({"a"});
    TCsvFile tooLong(titles, host_, {}, &many);
    TAutoExexParam run;
    run.SetCsvFile(Path("text.xlsx"));
    run.SetSaveType(0);
    run.SetMakeBackup(false);
    EXPECT_FALSE(tooLong.SaveAutomatic(run));
    ASSERT_EQ(host_.failures.size(), 1u);
    EXPECT_NE(host_.failures[0].find("1,048,576"), std::string::npos);
    EXPECT_EQ(TTempDir::Read(Path("text.xlsx")), "a,b\r\n");

    // A stop while the workbook is made.
    std::stop_source stop;
    stop.request_stop();
    TCsvOptions stopped;
    stopped.stop = stop.get_token();
    TCsvFile stoppedBook(titles, host_, stopped, &many);
    EXPECT_FALSE(stoppedBook.WriteCsvFile(Path("other.xlsx"), 0));
    EXPECT_EQ(dir_.Listing(), "text.xlsx ");
}

TEST_F(WorkbookFile, CutCellsAndUnmappedCharactersNameTheMail) {
    TResultTable table({"a", Sj("本文")});
    table.SetRowCount(3);
    table.SetRow(2, {"7", std::string("x\x85\x40y"), std::string(40000, 'z')});
    TCsvFile book(table, host_);
    ASSERT_TRUE(book.WriteCsvFile(Path("w.xlsx"), 0));
    EXPECT_EQ(host_.warnings,
              (std::vector<std::string>{
                  "7番目のメール: 列「a」に Unicode で表せない文字があり、「?」にしました。",
                  "7番目のメール: 列「本文」の値が Excel のセルの上限 (32,767 文字) を超えるため、"
                  "切り詰めました。"}));
    const TRows cells = Cells(Path("w.xlsx"));
    EXPECT_EQ(cells[1][0], "x?y");
    EXPECT_EQ(cells[1][1], std::string(32767, 'z'));
}
