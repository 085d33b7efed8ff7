#include <gtest/gtest.h>
#include <sqlite3.h>

#include "StateTestUtil.h"
#include "state/TOnlyNewRecord.h"

namespace {

const TMailIdentity kMail{7, 1, 2};
const TMailIdentity kOther{0, 3, 4};

class TOnlyNewRecordTest : public ::testing::Test {
  protected:
    std::filesystem::path Database() const { return TOnlyNewRecord::DefaultDatabase(); }
    std::filesystem::path Csv() const { return home_.Dir().Path() / "out.csv"; }

    // A run that stages kMail and saves (appends, or writes a new file in
    // the old one's place, as a workbook is saved), or not, before it ends
    // or dies.
    enum class TSave { None, Append, Replace };
    void Run(TSave save, bool commit) {
        TOnlyNewRecord record(Database(), Csv());
        record.Stage({kMail}, {{"a.eml", 10, 20}}, {"store", 2, 100, 50, 5, 6});
        if (save == TSave::Append) {
            TStateHome::Append(Csv(), "row\r\n");
        } else if (save == TSave::Replace) {
            TStateHome::Append(Csv().string() + ".new", "title\r\n");
            std::filesystem::rename(Csv().string() + ".new", Csv());
        }
        if (commit) {
            record.Commit();
        }
    }

    bool Knows(const TMailIdentity& mail) {
        TOnlyNewRecord record(Database(), Csv());
        return record.Knows(mail);
    }

    TStateHome home_;
};

TEST_F(TOnlyNewRecordTest, LivesUnderTheStateFolder) {
    EXPECT_EQ(Database(), home_.Dir().Path() / "state" / "kestrify" / "only-new.sqlite3");
}

TEST_F(TOnlyNewRecordTest, KeepsWhatACommittedRunConverted) {
    TStateHome::Append(Csv(), "title\r\n");
    Run(TSave::Append, true);
    for (const bool preload : {false, true}) {
        TOnlyNewRecord record(Database(), Csv());
        if (preload) {
            record.Preload();
        }
        EXPECT_FALSE(record.IsEmpty());
        EXPECT_TRUE(record.Knows(kMail)) << preload;
        EXPECT_FALSE(record.Knows(kOther)) << preload;
        EXPECT_FALSE(record.Knows({7, 1, 3})) << preload;
        EXPECT_TRUE(record.KnowsMessageId(7)) << preload;
        EXPECT_FALSE(record.KnowsMessageId(8)) << preload;
        EXPECT_TRUE(record.Saw({"a.eml", 10, 20}));
        EXPECT_FALSE(record.Saw({"a.eml", 10, 21}));
        EXPECT_EQ(record.StoreEnd(), (TOnlyNewRecord::TStoreEnd{"store", 2, 100, 50, 5, 6}));
    }
}

// A run killed after staging: the file tells whether its save happened.
TEST_F(TOnlyNewRecordTest, ARunKilledBeforeItsCommitIsSettledByTheFile) {
    struct TCase {
        const char* name;
        bool existed;  // the CSV had rows before the run
        TSave save;
        bool known;
    };
    const TCase cases[] = {
        {"appended, killed before commit", true, TSave::Append, true},
        {"rewritten as a new file, killed before commit", true, TSave::Replace, true},
        {"killed before the append", true, TSave::None, false},
        {"new file saved, killed before commit", false, TSave::Append, true},
        {"killed before the new file", false, TSave::None, false},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove(Csv());
        std::filesystem::remove_all(Database().parent_path());
        if (c.existed) {
            TStateHome::Append(Csv(), "title\r\n");
        }
        Run(c.save, false);
        EXPECT_EQ(Knows(kMail), c.known) << c.name;
        EXPECT_EQ(Knows(kMail), c.known) << c.name << ", settled once";
    }
}

TEST_F(TOnlyNewRecordTest, ADroppedStageRecordsNothing) {
    TStateHome::Append(Csv(), "title\r\n");
    {
        TOnlyNewRecord record(Database(), Csv());
        record.Stage({kMail}, {{"a.eml", 10, 20}}, {"store", 2, 100, 50, 5, 6});
        record.Drop();
    }
    TOnlyNewRecord record(Database(), Csv());
    EXPECT_TRUE(record.IsEmpty());
    EXPECT_FALSE(record.Saw({"a.eml", 10, 20}));
    EXPECT_TRUE(record.StoreEnd().store.empty());
}

TEST_F(TOnlyNewRecordTest, AnotherFileOfTheSameNameStartsFromNothing) {
    struct TCase {
        const char* name;
        void (*change)(const std::filesystem::path&);
    };
    const TCase cases[] = {
        {"deleted", [](const std::filesystem::path& p) { std::filesystem::remove(p); }},
        {"emptied", [](const std::filesystem::path& p) { std::filesystem::resize_file(p, 0); }},
        {"replaced",
         [](const std::filesystem::path& p) {
             TStateHome::Append(p.string() + ".new", "other\r\n");
             std::filesystem::rename(p.string() + ".new", p);
         }},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove(Csv());
        TStateHome::Append(Csv(), "title\r\n");
        Run(TSave::Append, true);
        ASSERT_TRUE(Knows(kMail)) << c.name;
        c.change(Csv());
        if (!std::filesystem::exists(Csv())) {
            TStateHome::Append(Csv(), "title\r\n");  // a new file in its place
        }
        EXPECT_FALSE(Knows(kMail)) << c.name;
    }
}

TEST_F(TOnlyNewRecordTest, ALinkNamesTheSameRecord) {
    TStateHome::Append(Csv(), "title\r\n");
    Run(TSave::Append, true);
    const std::filesystem::path link = home_.Dir().Path() / "link.csv";
    std::filesystem::create_symlink(Csv(), link);
    TOnlyNewRecord record(Database(), link);
    EXPECT_TRUE(record.Knows(kMail));
}

TEST_F(TOnlyNewRecordTest, ForgetClearsOneOutput) {
    EXPECT_FALSE(TOnlyNewRecord::Forget(Database(), Csv())) << "no database yet";
    EXPECT_FALSE(std::filesystem::exists(Database()));
    TStateHome::Append(Csv(), "title\r\n");
    Run(TSave::Append, true);
    EXPECT_TRUE(TOnlyNewRecord::Forget(Database(), Csv()));
    EXPECT_FALSE(Knows(kMail));
    EXPECT_FALSE(TOnlyNewRecord::Forget(Database(), Csv()));
}

// A database of the layout before IMAP folders had their place keeps its
// records, and takes a folder's end from then on.
TEST_F(TOnlyNewRecordTest, ARecordOfTheOlderLayoutIsKept) {
    TStateHome::Append(Csv(), "title\r\n");
    Run(TSave::Append, true);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(Database().c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db,
                           "ALTER TABLE outputs DROP COLUMN uid_validity; "
                           "ALTER TABLE outputs DROP COLUMN highest_uid; "
                           "ALTER TABLE outputs DROP COLUMN next_uid_validity; "
                           "ALTER TABLE outputs DROP COLUMN next_highest_uid; "
                           "PRAGMA user_version = 2",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const TOnlyNewRecord::TStoreEnd folder{"imaps://a@h:993/INBOX", 9, 0, 0, 0, 0, 4000000000u, 12};
    {
        TOnlyNewRecord record(Database(), Csv());
        EXPECT_TRUE(record.Knows(kMail));
        EXPECT_EQ(record.StoreEnd(), (TOnlyNewRecord::TStoreEnd{"store", 2, 100, 50, 5, 6}));
        record.Stage({kOther}, {}, folder);
        TStateHome::Append(Csv(), "row\r\n");
        record.Commit();
    }
    TOnlyNewRecord record(Database(), Csv());
    EXPECT_TRUE(record.Knows(kMail));
    EXPECT_EQ(record.StoreEnd(), folder);
}

}  // namespace
