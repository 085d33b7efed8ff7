// Only new mail from an IMAP folder against a real Dovecot: the record keeps
// the folder's UIDVALIDITY and highest UID, so later runs list (and
// download) only the mails above it; a folder made anew falls back to the
// mails' identities.

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "TDovecot.h"
#include "TempDir.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TImapParser.h"
#include "state/TNewMailSelector.h"
#include "state/TOnlyNewRecord.h"

namespace {

std::vector<std::string> Mails(int first, int count) {
    std::vector<std::string> mails;
    for (int i = first; i < first + count; ++i) {
        mails.push_back("From: shop@example.jp\r\nSubject: order " + std::to_string(i) +
                        "\r\n\r\n注文番号: " + std::to_string(i) + "\r\n");
    }
    return mails;
}

class TImapOnlyNewTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TDovecot::Available()) {
            GTEST_SKIP() << "dovecot is not installed";
        }
        server_ = std::make_unique<TDovecot>();
        server_->CreateFolder("Orders");
        std::ofstream(dir_.File("out.csv"), std::ios::binary) << "title\r\n";
    }

    struct TRun {
        std::vector<std::string> subjects;  // of the new mails, converted
        int skipped = 0;                    // converted before
        int unlisted = 0;                   // of those, not even listed
        std::uint32_t uidValidity = 0;
    };
    // One run with only new mail: select, read the new mails, save, commit.
    TRun Run() {
        TImapAccess access;
        access.secret = TDovecot::kPassword;
        access.caFile = server_->CaFile();
        const std::string url =
            "imaps://alice@localhost:" + std::to_string(server_->ImapsPort()) + "/Orders";
        TImapParser reader(url, access);
        TOnlyNewRecord record(dir_.File("only-new.sqlite3"), dir_.File("out.csv"));
        const TNewMailSelector::TSelection selection =
            TNewMailSelector::Select(reader, 9, url, record);
        TRun run{{}, selection.skipped, selection.unlisted, reader.UidValidity()};
        for (const int index : selection.indexes) {
            run.subjects.push_back(reader.GetMail(index)->HeaderValues("SUBJECT:").at(0));
        }
        TNewMailSelector::Stage(selection, static_cast<int>(selection.indexes.size()), record);
        std::ofstream(dir_.File("out.csv"), std::ios::binary | std::ios::app) << "rows\r\n";
        record.Commit();
        return run;
    }

    TTempDir dir_;
    std::unique_ptr<TDovecot> server_;
};

using TSubjects = std::vector<std::string>;

TEST_F(TImapOnlyNewTest, NewMailsAboveTheHighestUidThenIdentitiesAfterTheFolderIsMadeAnew) {
    server_->AddMails("Orders", Mails(1, 3));
    EXPECT_EQ(Run().subjects, (TSubjects{"order 1", "order 2", "order 3"}));
    // Nothing new: nothing is even listed.
    TRun run = Run();
    EXPECT_EQ(run.subjects, TSubjects{});
    EXPECT_EQ(run.skipped, 3);
    EXPECT_EQ(run.unlisted, 3);
    server_->AddMails("Orders", Mails(4, 2));
    run = Run();
    EXPECT_EQ(run.subjects, (TSubjects{"order 4", "order 5"}));
    EXPECT_EQ(run.unlisted, 3) << "old mails were listed";

    // The folder made anew with the same mails and one more: new UIDs of a
    // new UIDVALIDITY, the old mails known by their identities.
    const std::uint32_t before = run.uidValidity;
    ASSERT_EQ(server_->Doveadm("mailbox delete -u alice Orders"), 0);
    server_->CreateFolder("Orders");
    server_->AddMails("Orders", Mails(1, 6));
    run = Run();
    EXPECT_NE(run.uidValidity, before);
    EXPECT_EQ(run.subjects, TSubjects{"order 6"});
    EXPECT_EQ(run.skipped, 5);
    EXPECT_EQ(run.unlisted, 0);
    run = Run();
    EXPECT_EQ(run.subjects, TSubjects{});
    EXPECT_EQ(run.unlisted, 6);
}

}  // namespace
