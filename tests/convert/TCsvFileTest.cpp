#include "convert/TCsvFile.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "TestText.h"
#include "base/TOutputFile.h"
#include "convert/TConvertMessages.h"
#include "convert/TCsvPrewriter.h"

namespace {

class TRecordingSaveHost : public TCsvSaveHost {
  public:
    bool ConfirmBackupFailure(const std::string& message) override {
        events.push_back("ask " + Utf(message));
        return answer;
    }
    void ReportSaveFailure(const std::string& message) override {
        events.push_back("failed " + Utf(message));
    }
    void ShowStatus(const std::string& message) override {
        events.push_back("status " + Utf(message));
    }
    void SetBusy(bool busy) override { events.push_back(busy ? "busy" : "idle"); }

    std::vector<std::string> events;
    bool answer = true;
};

// Titles a, b and an empty one; mails: ("1", "x,y", "") and ("2", Japanese, "z").
TResultTable Table() {
    TResultTable table({"a", "b", ""});
    table.SetRowCount(4);
    table.SetRow(2, {"1", "1", "x,y", ""});
    table.SetRow(3, {"2", Sj("日本語"), "z", "q"});
    return table;
}

const std::string kTitles = "a,b,\r\n";
const std::string kMails = "1,\"x,y\",\r\n" + Sj("日本語") + ",z,q\r\n";

class CsvFile : public testing::Test {
  protected:
    std::string Path(const std::string& name) const { return dir_.File(name); }
    std::string Read(const std::string& name) const { return TTempDir::Read(dir_.File(name)); }
    void Write(const std::string& name, const std::string& text) const {
        TTempDir::Write(dir_.File(name), text);
    }
    std::string Listing() const { return dir_.Listing(); }

    TTempDir dir_;
    TResultTable table_ = Table();
    TRecordingSaveHost host_;
    TCsvFile csv_{table_, host_};
};

}  // namespace

TEST_F(CsvFile, OverwriteWritesTitlesAndMails) {
    Write("out.csv", "old content that is longer than the new one ...................");
    EXPECT_TRUE(csv_.WriteCsvFile(Path("out.csv"), 0));
    EXPECT_EQ(Read("out.csv"), kTitles + kMails);
    EXPECT_EQ(host_.events, (std::vector<std::string>{"busy", "idle", "status 保存しました。"}));
    EXPECT_EQ(Listing(), "out.csv ");
}

TEST_F(CsvFile, EmptyTableWritesOnlyTitles) {
    TResultTable empty({"a", "b"});
    TCsvFile csv(empty, host_);
    EXPECT_TRUE(csv.WriteCsvFile(Path("out.csv"), 0));
    EXPECT_EQ(Read("out.csv"), "a,b\r\n");
}

TEST_F(CsvFile, AppendWritesTitlesOnlyToANewOrEmptyFile) {
    Write("out.csv", "before\r\n");
    Write("empty.csv", "");
    EXPECT_TRUE(csv_.WriteCsvFile(Path("out.csv"), 1));
    EXPECT_EQ(Read("out.csv"), "before\r\n" + kMails);
    for (const char* name : {"new.csv", "empty.csv"}) {
        EXPECT_TRUE(csv_.WriteCsvFile(Path(name), 1));
        EXPECT_EQ(Read(name), kTitles + kMails) << name;
    }
}

TEST_F(CsvFile, OtherSaveTypesWriteNothing) {
    for (const int type : {2, -1, 255}) {
        EXPECT_FALSE(csv_.WriteCsvFile(Path("out.csv"), type));
    }
    EXPECT_EQ(Listing(), "");
    EXPECT_TRUE(host_.events.empty());
}

TEST_F(CsvFile, FailedOverwriteKeepsOldFile) {
    std::filesystem::create_directory(Path("dir.csv"));
    EXPECT_FALSE(csv_.WriteCsvFile(Path("dir.csv"), 0));
    EXPECT_FALSE(csv_.WriteCsvFile(Path("dir.csv"), 1));
    EXPECT_FALSE(csv_.WriteCsvFile(Path("missing/out.csv"), 0));
    EXPECT_EQ(Listing(), "dir.csv ");
}

TEST_F(CsvFile, UnfinishedAppendIsCutBack) {
    Write("out.csv", "keep\r\n");
    {
        TOutputFile file(Path("out.csv"), TOutputFile::TMode::Append);
        ASSERT_TRUE(file.IsOpen());
        EXPECT_EQ(file.Existing().size, 6);
        EXPECT_TRUE(file.Write("partial"));
    }
    EXPECT_EQ(Read("out.csv"), "keep\r\n");
}

TEST_F(CsvFile, Utf8OptionConvertsAndMarksNewFiles) {
    TCsvFile utf8(table_, host_, TCsvOptions{true, true});
    EXPECT_TRUE(utf8.WriteCsvFile(Path("u.csv"), 0));
    const std::string expected = "1,\"x,y\",\r\n日本語,z,q\r\n";
    EXPECT_EQ(Read("u.csv"), "\xEF\xBB\xBF" + kTitles + expected);
    EXPECT_TRUE(utf8.WriteCsvFile(Path("u.csv"), 1));  // no second mark
    EXPECT_EQ(Read("u.csv"), "\xEF\xBB\xBF" + kTitles + expected + expected);
    TCsvFile bare(table_, host_, TCsvOptions{true, false});
    Write("b.csv", "x\r\n");
    EXPECT_TRUE(bare.WriteCsvFile(Path("b.csv"), 1));
    EXPECT_EQ(Read("b.csv"), "x\r\n" + expected);
}

TEST_F(CsvFile, LargeTableIsWrittenWhole) {
    TResultTable big({"k", "v"});
    const int rows = 40000;
    big.SetRowCount(rows + 2);
    std::string expected = "k,v\r\n";
    for (int i = 0; i < rows; ++i) {
        big.SetRow(i + 2, {std::to_string(i + 1), Sj("値") + std::to_string(i), "a b"});
        expected += Sj("値") + std::to_string(i) + ",\"a b\"\r\n";
    }
    TCsvFile utf8(big, host_, TCsvOptions{true, false});
    EXPECT_TRUE(utf8.WriteCsvFile(Path("big.csv"), 0));
    EXPECT_EQ(Read("big.csv"), Utf(expected));
}

TEST_F(CsvFile, BackupReplacesOlderBackup) {
    Write("data.csv", "previous");
    Write("data.bak", "older");
    EXPECT_TRUE(csv_.BackupCsvFile(Path("data.csv")));
    EXPECT_EQ(Read("data.bak"), "previous");
    EXPECT_EQ(Read("data.csv"), "previous");
    EXPECT_TRUE(host_.events.empty());
    EXPECT_EQ(Listing(), "data.bak data.csv ");
}

TEST_F(CsvFile, BackupOfMissingFileIsNotNeeded) {
    EXPECT_TRUE(csv_.BackupCsvFile(Path("none.csv")));
    EXPECT_EQ(Listing(), "");
    EXPECT_TRUE(host_.events.empty());
}

TEST_F(CsvFile, BackupNameWithoutExtensionIsAdded) {
    Write("data", "d");
    EXPECT_TRUE(csv_.BackupCsvFile(Path("data")));
    EXPECT_EQ(Read("data.bak"), "d");
    EXPECT_EQ(TCsvFile::BackupFileName("/x.y/z"), "/x.y/z.bak");
    EXPECT_EQ(TCsvFile::BackupFileName(Sj("/表/結果.CSV")), Sj("/表/結果.bak"));
}

TEST_F(CsvFile, FileNamedLikeItsBackupIsNeverTouched) {
    Write("data.bak", "precious");
    host_.answer = false;
    EXPECT_FALSE(csv_.BackupCsvFile(Path("data.bak")));
    host_.answer = true;
    EXPECT_TRUE(csv_.BackupCsvFile(Path("data.bak")));
    EXPECT_EQ(Read("data.bak"), "precious");
    const std::string ask = "ask " + Utf(TConvertMessages::BackupFailed());
    EXPECT_EQ(host_.events, (std::vector<std::string>{ask, ask}));
    EXPECT_EQ(Listing(), "data.bak ");
}

TEST_F(CsvFile, BackupOverDirectoryAsks) {
    Write("data.csv", "d");
    std::filesystem::create_directory(Path("data.bak"));
    host_.answer = false;
    EXPECT_FALSE(csv_.BackupCsvFile(Path("data.csv")));
    EXPECT_EQ(host_.events.size(), 1u);
    EXPECT_EQ(Listing(), "data.bak data.csv ");
}

TEST_F(CsvFile, BackupReplacesLinkNotItsTarget) {
    Write("data.csv", "new");
    Write("elsewhere", "keep");
    std::filesystem::create_symlink("elsewhere", Path("data.bak"));
    EXPECT_TRUE(csv_.BackupCsvFile(Path("data.csv")));
    EXPECT_FALSE(std::filesystem::is_symlink(Path("data.bak")));
    EXPECT_EQ(Read("data.bak"), "new");
    EXPECT_EQ(Read("elsewhere"), "keep");
}

TEST_F(CsvFile, SaveAutomaticBacksUpThenWrites) {
    Write("auto.csv", "previous\r\n");
    TAutoExexParam param;
    param.SetCsvFile(Path("auto.csv"));
    param.SetSaveType(1);
    param.SetMakeBackup(true);
    EXPECT_TRUE(csv_.SaveAutomatic(param));
    EXPECT_EQ(Read("auto.bak"), "previous\r\n");
    EXPECT_EQ(Read("auto.csv"), "previous\r\n" + kMails);
}

TEST_F(CsvFile, SaveAutomaticStopsWhenBackupIsRefused) {
    Write("auto.bak", "mine");
    TAutoExexParam param;
    param.SetCsvFile(Path("auto.bak"));
    param.SetSaveType(0);
    param.SetMakeBackup(true);
    host_.answer = false;
    EXPECT_FALSE(csv_.SaveAutomatic(param));
    EXPECT_EQ(Read("auto.bak"), "mine");
}

TEST_F(CsvFile, SaveAutomaticReportsWriteFailure) {
    TAutoExexParam param;
    param.SetCsvFile(Path("auto.csv"));
    param.SetSaveType(3);
    param.SetMakeBackup(false);
    EXPECT_FALSE(csv_.SaveAutomatic(param));
    EXPECT_EQ(host_.events, (std::vector<std::string>{"failed ファイルの保存に失敗しました。"}));
    EXPECT_EQ(Listing(), "");
}

TEST_F(CsvFile, SaveAutomaticFailureNamesTheReason) {
    std::filesystem::create_directory(Path("dir.csv"));
    struct {
        const char* file;
        const char* reason;
    } const cases[] = {{"dir.csv", "保存先がフォルダです。 (Is a directory)"},
                       {"missing/out.csv", "(No such file or directory)"}};
    for (const auto& c : cases) {
        host_.events.clear();
        TAutoExexParam param;
        param.SetCsvFile(Path(c.file));
        param.SetSaveType(0);
        param.SetMakeBackup(true);  // a folder is not "backed up"
        EXPECT_FALSE(csv_.SaveAutomatic(param));
        EXPECT_EQ(host_.events,
                  (std::vector<std::string>{std::string("failed ファイルの保存に失敗しました。\n") +
                                            c.reason}));
    }
}

// Rows appended to a file follow the encoding its text has and start on a
// line of their own; a byte-order mark is never written twice.
TEST_F(CsvFile, AppendFollowsTheOldFile) {
    const std::string utf8Mails = Utf(kMails);
    struct {
        const char* name;
        std::string old;
        TCsvOptions options;
        std::string added;
    } const cases[] = {
        {"no final line break", "a,b", {}, "\r\n" + kMails},
        {"marked UTF-8, Shift_JIS asked",
         "\xEF\xBB\xBF"
         "a\r\n",
         {},
         utf8Mails},
        {"UTF-8 text, Shift_JIS asked", "日本語\r\n", {}, utf8Mails},
        {"Shift_JIS text, UTF-8 asked", Sj("日本\r\n"), {true, true}, kMails},
        {"ASCII text, marked UTF-8 asked", "a\r\n", {true, true}, utf8Mails},
        // Past the 64 KiB the encoding is judged on: the mark still counts,
        // and a sample cut inside a character is no sign of another encoding.
        {"marked UTF-8, first line over 64 KiB",
         "\xEF\xBB\xBF" + std::string(70000, 'a') + "\r\n",
         {},
         utf8Mails},
        {"UTF-8 text cut by the sample",
         "日本語," + std::string(65525, 'a') + "日本\r\n",
         {},
         utf8Mails},
    };
    for (const auto& c : cases) {
        Write("out.csv", c.old);
        TCsvFile csv(table_, host_, c.options);
        EXPECT_TRUE(csv.WriteCsvFile(Path("out.csv"), 1)) << c.name;
        EXPECT_EQ(Read("out.csv"), c.old + c.added) << c.name;
    }
}

TEST(CsvFileName, InteractiveSaveAddsCsvExtension) {
    EXPECT_EQ(TCsvFile::WithCsvExtension("out.txt"), "out.txt.csv");
    EXPECT_EQ(TCsvFile::WithCsvExtension("out"), "out.csv");
    EXPECT_EQ(TCsvFile::WithCsvExtension("out.CSV"), "out.CSV");
    EXPECT_EQ(TCsvFile::WithCsvExtension("out.Xlsx"), "out.Xlsx");
    EXPECT_EQ(TCsvFile::WithCsvExtension("a.csv/out"), "a.csv/out.csv");
}

// Rows streamed into a file replaced by rename give the file the spool
// would have given; other targets keep the rows in the spool.
TEST_F(CsvFile, StreamedRowsGiveTheSameFile) {
    const TResultTable titles({"a", "b", ""});
    struct {
        const char* name;
        TCsvOptions options;
        bool hardLinked;  // a file with two links is rewritten in place
        bool streamed;
    } const cases[] = {
        {"Shift_JIS", {}, false, true},
        {"marked UTF-8", {true, true}, false, true},
        {"hard-linked target", {}, true, false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(Path("x"));
        std::filesystem::create_directory(Path("x"));
        Write("x/old.csv", "old\r\n");
        if (c.hardLinked) {
            std::filesystem::create_hard_link(Path("x/old.csv"), Path("x/link"));
        }
        std::string files[2];
        for (const bool stream : {false, true}) {
            const std::string target = Path(stream ? "x/old.csv" : "x/spooled.csv");
            TCsvSpool spool(3, false);
            TCsvFile csv(titles, host_, c.options, &spool);
            EXPECT_EQ(stream && csv.StreamRowsTo(target, TCsvFile::Overwrite), stream && c.streamed)
                << c.name;
            spool.PutRow(1, {"x,y", "", ""});
            spool.PutRow(2, {Sj("日本語"), "z", "q"});
            EXPECT_EQ(Read("x/old.csv"), "old\r\n") << c.name << ": nothing before the save";
            ASSERT_TRUE(spool.Finish());
            EXPECT_TRUE(csv.WriteCsvFile(target, TCsvFile::Overwrite)) << c.name;
            files[stream] = TTempDir::Read(target);
        }
        EXPECT_EQ(files[1], files[0]) << c.name;
        EXPECT_EQ(dir_.Listing(), "x ") << c.name;
    }
}

TEST_F(CsvFile, StreamGivenUpLeavesTheOldFileAlone) {
    Write("out.csv", "old\r\n");
    {
        TCsvSpool spool(1, false);
        TCsvFile csv(table_, host_, {}, &spool);
        ASSERT_TRUE(csv.StreamRowsTo(Path("out.csv"), TCsvFile::Overwrite));
        for (int i = 1; i <= 150000; ++i) {  // more than one block reaches the file
            spool.PutRow(i, {"row " + std::to_string(i)});
        }
        EXPECT_NE(Listing().find(".kfy-"), std::string::npos) << "the rows go to a file beside it";
    }  // stopped before the save
    EXPECT_EQ(Read("out.csv"), "old\r\n");
    EXPECT_EQ(Listing(), "out.csv ");
}

// An automatic run's rows written while they arrive: the same file as a save
// of the whole table, the old file kept until the save, nothing left behind
// when the run ends without one.
TEST_F(CsvFile, RowsWrittenEarlyGiveTheSavedTableAndKeepTheOldFileTillTheSave) {
    struct {
        const char* name;
        int saveType;
        bool save;
        bool early;
    } const cases[] = {
        {"overwrite", TCsvFile::Overwrite, true, true},
        {"stopped", TCsvFile::Overwrite, false, true},
        {"append", TCsvFile::Append, true, false},
    };
    for (const auto& c : cases) {
        Write("out.csv", "old\r\n");
        Write("whole.csv", "old\r\n");
        TResultTable shown({"a", "b"});
        TCsvFile whole(shown, host_);
        {
            TCsvPrewriter early(shown, host_, Path("out.csv"), c.saveType);
            EXPECT_EQ(early.IsWriting(), c.early) << c.name;
            for (int number = 1; number <= 5000; ++number) {
                shown.PutRow(number,
                             {"v" + std::to_string(number), number % 3 ? Sj("日本,語") : ""});
                if (number % 100 == 0) {
                    early.Add(shown.RowCount() - 100, shown.RowCount());
                }
            }
            EXPECT_EQ(Read("out.csv"), "old\r\n") << c.name;
            if (c.save) {
                TAutoExexParam run;
                run.SetCsvFile(Path("out.csv"));
                run.SetSaveType(c.saveType);
                run.SetMakeBackup(true);
                TCsvFile* file = early.Finish();
                ASSERT_NE(file, nullptr) << c.name;
                EXPECT_TRUE(file->SaveAutomatic(run)) << c.name;
            }
        }
        ASSERT_TRUE(whole.WriteCsvFile(Path("whole.csv"), c.saveType)) << c.name;
        const std::string expected = c.save ? Read("whole.csv") : "old\r\n";
        EXPECT_EQ(Read("out.csv"), expected) << c.name;
        EXPECT_EQ(Listing(), c.save ? "out.bak out.csv whole.csv " : "out.csv whole.csv ")
            << c.name;
        if (c.save) {
            EXPECT_EQ(Read("out.bak"), "old\r\n") << c.name << ": the backup is of the old file";
            std::filesystem::remove(Path("out.bak"));
        }
        std::filesystem::remove(Path("whole.csv"));
    }
}
