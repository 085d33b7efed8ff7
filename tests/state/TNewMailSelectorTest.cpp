#include <gtest/gtest.h>

#include "StateTestUtil.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TEMLParser.h"
#include "mail/TMBOXParser.h"
#include "state/TNewMailSelector.h"

namespace {

std::string Mail(const std::string& id, const std::string& subject) {
    std::string mail = "From someone Mon Jan  1 00:00:00 2024\n";
    if (!id.empty()) {
        mail += "Message-ID: <" + id + "@example.com>\n";
    }
    return mail + "Subject: " + subject + "\n\nbody of " + subject + "\n\n";
}

class TNewMailSelectorTest : public ::testing::Test {
  protected:
    std::filesystem::path Csv() const { return home_.Dir().Path() / "out.csv"; }
    std::filesystem::path Store() const { return home_.Dir().Path() / "store"; }

    // One run over the store: the subjects of the new mails, all converted,
    // saved and committed.
    std::vector<std::string> Run(int mailType) {
        TOnlyNewRecord record(TOnlyNewRecord::DefaultDatabase(), Csv());
        std::unique_ptr<TBasicMailParser> store;
        const std::string location = TSjisUnicode::FromPath(Store());
        if (mailType == 2) {
            store = std::make_unique<TMBOXParser>(location);
        } else {
            store = std::make_unique<TEMLParser>(location);
        }
        const TNewMailSelector::TSelection selection =
            TNewMailSelector::Select(*store, mailType, location, record);
        std::vector<std::string> subjects;
        for (const int index : selection.indexes) {
            subjects.push_back(store->GetMail(index)->HeaderValues("SUBJECT:").at(0));
        }
        skipped_ = selection.skipped;
        TNewMailSelector::Stage(selection, static_cast<int>(selection.indexes.size()), record);
        TStateHome::Append(Csv(), "rows\r\n");
        record.Commit();
        return subjects;
    }

    using TSubjects = std::vector<std::string>;
    TStateHome home_;
    int skipped_ = 0;
};

TEST_F(TNewMailSelectorTest, MboxGivesEachMailOnce) {
    TStateHome::Append(Store(), Mail("a", "a") + Mail("", "b") + Mail("c", "c"));
    EXPECT_EQ(Run(2), (TSubjects{"a", "b", "c"}));
    EXPECT_EQ(Run(2), TSubjects{});
    EXPECT_EQ(skipped_, 3);

    TStateHome::Append(Store(), Mail("d", "d") + Mail("", "e"));
    EXPECT_EQ(Run(2), (TSubjects{"d", "e"}));

    // Compacted: "a" removed, the others kept byte for byte, one added.
    TTempDir::Write(
        Store(), Mail("", "b") + Mail("c", "c") + Mail("d", "d") + Mail("", "e") + Mail("f", "f"));
    EXPECT_EQ(Run(2), TSubjects{"f"});

    // Re-flagged in place: the file is rewritten, the mails are the same.
    TTempDir::Write(Store(), Mail("", "b") + Mail("c", "c\nStatus: RO") + Mail("d", "d") +
                                 Mail("", "e") + Mail("f", "f\nX-Label: red"));
    EXPECT_EQ(Run(2), TSubjects{}) << "f has a unique Message-ID";
}

TEST_F(TNewMailSelectorTest, OneMessageIdForTwoMailsIsToldApartByTheHeader) {
    TStateHome::Append(Store(), Mail("same", "a"));
    EXPECT_EQ(Run(2), TSubjects{"a"});
    TStateHome::Append(Store(), Mail("same", "b") + Mail("same", "b"));
    EXPECT_EQ(Run(2), TSubjects{"b"}) << "an exact copy is one mail";
    // Rewritten (not grown): both ids are still there twice.
    TTempDir::Write(Store(), Mail("same", "b") + Mail("same", "a") + Mail("same", "c"));
    EXPECT_EQ(Run(2), TSubjects{"c"});
}

TEST_F(TNewMailSelectorTest, AGrownMboxIsReadFromItsOldEnd) {
    TStateHome::Append(Store(), Mail("", "old1") + Mail("", "old2"));
    EXPECT_EQ(Run(2), (TSubjects{"old1", "old2"}));
    // An old mail changed behind the last one (same length) is not read
    // again: only the last converted mail is checked.
    std::string text = TTempDir::Read(Store());
    text.replace(text.find("old1\n"), 5, "oldX\n");
    TTempDir::Write(Store(), text + Mail("", "new"));
    EXPECT_EQ(Run(2), TSubjects{"new"});
    // The last converted mail changed: every mail is told by its identity.
    text = TTempDir::Read(Store());
    text.replace(text.rfind("Subject: new\n"), 13, "Subject: neW\n");
    TTempDir::Write(Store(), text);
    EXPECT_EQ(Run(2), (TSubjects{"oldX", "neW"}));
}

TEST_F(TNewMailSelectorTest, FolderSkipsSeenFilesAndKnowsRenamedOnes) {
    std::filesystem::create_directories(Store());
    TTempDir::Write(Store() / "1.eml", "Subject: one\n\nx\n");
    TTempDir::Write(Store() / "2.eml", "Subject: two\n\nx\n");
    EXPECT_EQ(Run(0), (TSubjects{"one", "two"}));
    std::filesystem::rename(Store() / "1.eml", Store() / "1-flagged.eml");
    EXPECT_EQ(Run(0), TSubjects{});
    TTempDir::Write(Store() / "3.eml", "Subject: three\n\nx\n");
    EXPECT_EQ(Run(0), TSubjects{"three"});
    EXPECT_EQ(skipped_, 2);
    // A seen file (same name, size and time) is not read again, whatever it holds.
    const auto time = std::filesystem::last_write_time(Store() / "2.eml");
    TTempDir::Write(Store() / "2.eml", "Subject: twO\n\nx\n");
    std::filesystem::last_write_time(Store() / "2.eml", time);
    EXPECT_EQ(Run(0), TSubjects{});
    std::filesystem::remove(Csv());
    EXPECT_EQ(Run(0), (TSubjects{"one", "twO", "three"})) << "a new CSV gets every mail";
}

}  // namespace
