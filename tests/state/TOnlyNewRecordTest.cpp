#include <gtest/gtest.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "StateTestUtil.h"
#include "base/TKestrifyError.h"
#include "state/TOnlyNewRecord.h"
#include "state/TRecordDamaged.h"

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

// After a run the CSV may be deleted, emptied, cut, grown by someone else,
// or saved anew by an editor (rename): only a file that still holds the last
// run's rows where they ended is appended to; one without rows starts anew;
// anything else is told, and the record stays for the user to decide.
TEST_F(TOnlyNewRecordTest, TellsWhatBecameOfTheCsv) {
    using TState = TOnlyNewRecord::TOutputState;
    const std::string rows = "title\r\n" + std::string(9000, 'r') + "\r\n\"last\r\nrow\"\r\n";
    const auto replace = [](const std::filesystem::path& p, const std::string& text) {
        TTempDir::Write(p.string() + ".new", text);
        std::filesystem::rename(p.string() + ".new", p);
    };
    struct TCase {
        const char* name;
        std::function<void(const std::filesystem::path&)> change;
        TState state;
        bool known;  // the record still tells kMail
    };
    const TCase cases[] = {
        {"untouched", [](const auto&) {}, TState::Kept, true},
        {"deleted", [](const auto& p) { std::filesystem::remove(p); }, TState::Kept, false},
        {"emptied", [](const auto& p) { std::filesystem::resize_file(p, 0); }, TState::Kept, false},
        {"grown by another writer", [](const auto& p) { TStateHome::Append(p, "mine\r\n"); },
         TState::Kept, true},
        {"edited in place far before the end",
         [&](const auto& p) { TTempDir::Write(p, "TITLE\r\n" + rows.substr(7)); }, TState::Kept,
         true},
        {"cut inside the last quoted row",
         [&](const auto& p) { std::filesystem::resize_file(p, rows.size() - 6); }, TState::Cut,
         false},
        {"cut, then as long again",
         [&](const auto& p) {
             std::filesystem::resize_file(p, rows.size() - 6);
             TStateHome::Append(p, "xxxxxx");
         },
         TState::Cut, false},
        {"saved anew unchanged (sed -i)", [&](const auto& p) { replace(p, rows); }, TState::Kept,
         true},
        {"saved anew with a row added", [&](const auto& p) { replace(p, rows + "mine\r\n"); },
         TState::Kept, true},
        {"saved anew with its title changed",
         [&](const auto& p) { replace(p, "TITLE\r\n" + rows.substr(7)); }, TState::Replaced, false},
        {"saved anew with the last row changed",
         [&](const auto& p) { replace(p, rows.substr(0, rows.size() - 6) + "ROW\"\r\n"); },
         TState::Replaced, false},
        {"replaced by another file", [&](const auto& p) { replace(p, "other\r\n"); },
         TState::Replaced, false},
    };
    for (const TCase& c : cases) {
        std::filesystem::remove_all(Database().parent_path());
        TTempDir::Write(Csv(), rows.substr(0, rows.size() - 6));
        {
            TOnlyNewRecord record(Database(), Csv());
            record.Stage({kMail}, {}, {});
            TStateHome::Append(Csv(), "row\"\r\n");
            record.Commit();
        }
        c.change(Csv());
        for (const int pass : {1, 2}) {
            TOnlyNewRecord record(Database(), Csv());
            EXPECT_EQ(record.OutputState(), c.state) << c.name << ", pass " << pass;
            if (c.state == TState::Kept) {
                EXPECT_EQ(record.Knows(kMail), c.known) << c.name << ", pass " << pass;
            }
        }
        // A told CSV keeps its record until it is forgotten.
        TOnlyNewRecord::Forget(Database(), Csv());
        TOnlyNewRecord record(Database(), Csv());
        EXPECT_EQ(record.OutputState(), TState::Kept) << c.name << ", forgotten";
    }
}

// The folder of the record is made private only when it is made here: a
// link to a shared folder is refused, and the shared folder keeps its mode.
TEST_F(TOnlyNewRecordTest, UsesOnlyAFolderOfTheUsersOwn) {
    struct TCase {
        const char* name;
        mode_t mode;  // of the folder the record's folder is a link to; 0: none made
        bool refused;
        mode_t after;  // the record folder's mode afterwards
    };
    const TCase cases[] = {
        {"made here", 0, false, 0700},
        {"a link to a shared folder", 01777, true, 01777},
        {"a link to a group-writable folder", 0770, true, 0770},
        {"a link to the user's own readable folder", 0755, false, 0755},
    };
    TStateHome::Append(Csv(), "title\r\n");
    for (const TCase& c : cases) {
        const std::filesystem::path folder = Database().parent_path();
        const std::filesystem::path shared = home_.Dir().Path() / "shared";
        std::filesystem::remove_all(folder);
        std::filesystem::remove_all(shared);
        std::filesystem::create_directories(folder.parent_path());
        if (c.mode != 0) {
            std::filesystem::create_directory(shared);
            ::chmod(shared.c_str(), c.mode);
            std::filesystem::create_directory_symlink(shared, folder);
        }
        if (c.refused) {
            try {
                TOnlyNewRecord record(Database(), Csv());
                ADD_FAILURE() << c.name << ": not refused";
            } catch (const TKestrifyError& e) {
                EXPECT_NE(std::string(e.what()).find(folder.string()), std::string::npos)
                    << c.name << ": " << e.what();
            }
            EXPECT_FALSE(std::filesystem::exists(shared / "only-new.sqlite3")) << c.name;
        } else {
            TOnlyNewRecord record(Database(), Csv());
            struct stat db {};
            ASSERT_EQ(::stat(Database().c_str(), &db), 0) << c.name;
            EXPECT_EQ(db.st_mode & 0777, 0600u) << c.name;
        }
        struct stat info {};
        ASSERT_EQ(::stat(folder.c_str(), &info), 0) << c.name;
        EXPECT_EQ(info.st_mode & 07777, c.after) << c.name;
    }
}

// Without HOME (cron, services) the record is in the passwd entry's home,
// never in the folder a run starts in.
TEST_F(TOnlyNewRecordTest, WithoutHomeLivesInThePasswdHome) {
    const struct passwd* entry = ::getpwuid(::geteuid());
    if (entry == nullptr || entry->pw_dir == nullptr || entry->pw_dir[0] != '/') {
        GTEST_SKIP() << "no passwd entry with a home";
    }
    const std::filesystem::path expected =
        std::filesystem::path(entry->pw_dir) / ".local/state/kestrify/only-new.sqlite3";
    const char* home = std::getenv("HOME");
    const std::string oldHome = home != nullptr ? home : "";
    ::unsetenv("XDG_STATE_HOME");
    for (const char* value : {static_cast<const char*>(nullptr), "", "relative/home"}) {
        if (value == nullptr) {
            ::unsetenv("HOME");
        } else {
            ::setenv("HOME", value, 1);
        }
        EXPECT_EQ(TOnlyNewRecord::DefaultDatabase(), expected) << (value ? value : "unset");
    }
    ::setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(TOnlyNewRecord::DefaultDatabase(), expected) << "a relative XDG_STATE_HOME";
    if (home != nullptr) {
        ::setenv("HOME", oldHome.c_str(), 1);
    }
}

// A damaged database is named and moved aside, and the next
// run (and --forget) starts a new record.
TEST_F(TOnlyNewRecordTest, ADamagedRecordIsMovedAside) {
    struct TCase {
        const char* name;
        void (*damage)(const std::filesystem::path&);
    };
    const TCase cases[] = {
        {"not a database",
         [](const std::filesystem::path& p) { TTempDir::Write(p, std::string(8192, 'x')); }},
        {"pages overwritten",
         [](const std::filesystem::path& p) {
             std::string bytes = TTempDir::Read(p);
             for (std::size_t at = 4096; at < bytes.size(); ++at) {
                 bytes[at] = static_cast<char>(at * 7);
             }
             TTempDir::Write(p, bytes);
         }},
    };
    TStateHome::Append(Csv(), "title\r\n");
    for (const bool forget : {false, true}) {
        for (const TCase& c : cases) {
            const std::string name = std::string(c.name) + (forget ? ", forgotten" : "");
            std::filesystem::remove_all(Database().parent_path());
            Run(TSave::Append, true);
            c.damage(Database());
            try {
                if (forget) {
                    TOnlyNewRecord::Forget(Database(), Csv());
                } else {
                    TOnlyNewRecord record(Database(), Csv());
                    record.Preload();
                }
                ADD_FAILURE() << name << ": not told";
            } catch (const TRecordDamaged& e) {
                EXPECT_NE(std::string(e.what()).find(Database().string() + ".corrupt-"),
                          std::string::npos)
                    << name << ": " << e.what();
            }
            int aside = 0;
            for (const auto& entry :
                 std::filesystem::directory_iterator(Database().parent_path())) {
                aside += entry.path().filename().string().starts_with("only-new.sqlite3.corrupt-");
            }
            EXPECT_EQ(aside, 1) << name;
            EXPECT_FALSE(Knows(kMail)) << name << ": a new record";
            EXPECT_FALSE(TOnlyNewRecord::Forget(Database(), Csv())) << name;
        }
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

// A database of an older layout keeps its records and learns the CSV's end
// (and an IMAP folder's) from the next run on.
TEST_F(TOnlyNewRecordTest, ARecordOfAnOlderLayoutIsKept) {
    struct TCase {
        int version;
        const char* drop;
    };
    const TCase cases[] = {
        {3,
         "ALTER TABLE outputs DROP COLUMN csv_size; ALTER TABLE outputs DROP COLUMN csv_head1; "
         "ALTER TABLE outputs DROP COLUMN csv_head2; ALTER TABLE outputs DROP COLUMN csv_tail1; "
         "ALTER TABLE outputs DROP COLUMN csv_tail2; PRAGMA user_version = 3"},
        {2,
         "ALTER TABLE outputs DROP COLUMN csv_size; ALTER TABLE outputs DROP COLUMN csv_head1; "
         "ALTER TABLE outputs DROP COLUMN csv_head2; ALTER TABLE outputs DROP COLUMN csv_tail1; "
         "ALTER TABLE outputs DROP COLUMN csv_tail2; "
         "ALTER TABLE outputs DROP COLUMN uid_validity; "
         "ALTER TABLE outputs DROP COLUMN highest_uid; "
         "ALTER TABLE outputs DROP COLUMN next_uid_validity; "
         "ALTER TABLE outputs DROP COLUMN next_highest_uid; PRAGMA user_version = 2"},
    };
    const TOnlyNewRecord::TStoreEnd folder{"imaps://a@h:993/INBOX", 9, 0, 0, 0, 0, 4000000000u, 12};
    for (const TCase& c : cases) {
        std::filesystem::remove_all(Database().parent_path());
        std::filesystem::remove(Csv());
        TStateHome::Append(Csv(), "title\r\n");
        Run(TSave::Append, true);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(Database().c_str(), &db), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db, c.drop, nullptr, nullptr, nullptr), SQLITE_OK) << c.version;
        sqlite3_close(db);
        {
            TOnlyNewRecord record(Database(), Csv());
            EXPECT_TRUE(record.Knows(kMail)) << c.version;
            EXPECT_EQ(record.StoreEnd(), (TOnlyNewRecord::TStoreEnd{"store", 2, 100, 50, 5, 6}))
                << c.version;
            record.Stage({kOther}, {}, folder);
            TStateHome::Append(Csv(), "row\r\n");
            record.Commit();
        }
        {
            TOnlyNewRecord record(Database(), Csv());
            EXPECT_TRUE(record.Knows(kMail)) << c.version;
            EXPECT_EQ(record.StoreEnd(), folder) << c.version;
        }
        std::filesystem::resize_file(Csv(), 3);
        TOnlyNewRecord record(Database(), Csv());
        EXPECT_EQ(record.OutputState(), TOnlyNewRecord::TOutputState::Cut) << c.version;
    }
}

}  // namespace
