#include <gtest/gtest.h>
#include <sys/stat.h>

#include "AsUser.h"
#include "MailTestUtil.h"
#include "TestText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TEMLParser.h"
#include "mail/TTextFileParser.h"

namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> Names(const TFolderParser& parser) {
    std::vector<std::string> names;
    for (const auto& p : parser.Files()) {
        names.push_back(p.filename().string());
    }
    return names;
}

// A folder with mails, other files and a sub-folder named like a mail.
class TFolderParserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = dir_.Path() / "メール";
        std::filesystem::create_directories(folder_ / "x.eml");
        WriteFile(folder_ / "b.EML", "Subject: b\r\n\r\nbody b\r\n");
        WriteFile(folder_ / "a.eml", "Subject: a\n\nbody a");
        WriteFile(folder_ / "C.Eml", "Subject: c\n");
        WriteFile(folder_ / "_under.eml", "Subject: _\n");
        WriteFile(folder_ / "日本.eml", "Subject: =?ISO-2022-JP?B?GyRCN29MPiRHJDkbKEI=?=\n");
        WriteFile(folder_ / "notes.txt", "first\r\nsecond\r\n");
        WriteFile(folder_ / "mail.emlx", "x");
        mkfifo((folder_ / "pipe.eml").c_str(), 0600);  // no mail, and must not block
    }

    std::string SjisFolder() const { return TSjisUnicode::FromPath(folder_); }

    TTempDir dir_;
    std::filesystem::path folder_;
};

TEST_F(TFolderParserTest, EmlFilesInAnyCaseSortedByName) {
    TEMLParser parser(SjisFolder());
    ASSERT_EQ(parser.GetCount(), 5);
    EXPECT_EQ(Names(parser), (Lines{"a.eml", "b.EML", "C.Eml", "_under.eml", "日本.eml"}));
    EXPECT_EQ(parser.GetMail(1)->GetBody(), Lines{"body b"});
    EXPECT_EQ(parser.GetMail(4)->GetHeader().at("SUBJECT:"), Lines{Sj("件名です")});
    EXPECT_EQ(parser.GetMailLines(0), (Lines{"Subject: a", "", "body a"}));
}

TEST_F(TFolderParserTest, TextFilesAreBodiesAsStored) {
    TTextFileParser parser(SjisFolder());
    ASSERT_EQ(parser.GetCount(), 7);
    EXPECT_EQ(Names(parser), (Lines{"a.eml", "b.EML", "C.Eml", "mail.emlx", "notes.txt",
                                    "_under.eml", "日本.eml"}));
    const auto mail = parser.GetMail(4);
    EXPECT_TRUE(mail->GetHeader().empty());
    EXPECT_EQ(mail->GetBody(), (Lines{"first", "second"}));
    EXPECT_EQ(parser.GetMail(6)->GetBody(),
              Lines{"Subject: =?ISO-2022-JP?B?GyRCN29MPiRHJDkbKEI=?="});
    EXPECT_EQ(mail->GetBoundary(), "");
}

TEST_F(TFolderParserTest, FileRemovedAfterListingFailsWhenRead) {
    TEMLParser parser(SjisFolder());
    std::filesystem::remove(folder_ / "a.eml");
    EXPECT_THROW(parser.GetMail(0), TKestrifyError);
    EXPECT_NO_THROW(parser.GetMail(1));
}

TEST(TFolderParserMissingTest, MissingFolderHasNoMails) {
    EXPECT_EQ(TEMLParser(CorpusFile("no-such-folder")).GetCount(), 0);
    EXPECT_EQ(TTextFileParser(CorpusFile("no-such-folder")).GetCount(), 0);
}

// Only a missing folder is an empty store: one the user may not list (or
// no folder at all) would otherwise replace a CSV with a title line.
TEST(TFolderParserMissingTest, UnlistableFolderIsAnError) {
    TTempDir dir;
    const std::filesystem::path locked = dir.Path() / "locked";
    std::filesystem::create_directory(locked);
    WriteFile(locked / "a.eml", "Subject: a\n\nbody");
    WriteFile(dir.Path() / "file.eml", "Subject: a\n\nbody");
    ::chmod(locked.c_str(), 0);
    const int status = AsOrdinaryUser([&] {
        int thrown = 0;
        for (const auto& folder : {locked, dir.Path() / "file.eml"}) {
            try {
                TEMLParser parser(folder.string());
            } catch (const TKestrifyError&) {
                ++thrown;
            }
        }
        return thrown == 2 ? 0 : 1;
    });
    ::chmod(locked.c_str(), 0755);
    if (status == 77) {
        GTEST_SKIP() << "cannot run as an ordinary user";
    }
    EXPECT_EQ(status, 0);
}

TEST(TFolderParserMissingTest, CorpusFolder) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusFile("eml"))) {
        files += entry.path().extension() == ".eml" ? 1 : 0;
    }
    TEMLParser parser(CorpusFile("eml"));
    ASSERT_GT(files, 0);
    ASSERT_EQ(parser.GetCount(), files);
    for (int i = 0; i < parser.GetCount(); ++i) {
        const auto mail = parser.GetMail(i);
        EXPECT_FALSE(mail->GetHeader().empty()) << i;
        for (const std::string& line : mail->GetBody()) {
            EXPECT_TRUE(sjis::IsValid(line)) << Names(parser)[i] << ": " << Utf(line);
        }
    }
}

}  // namespace
