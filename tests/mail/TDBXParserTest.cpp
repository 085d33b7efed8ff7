#include "mail/TDBXParser.h"

#include <gtest/gtest.h>

#include <iostream>

#include "DbxImage.h"
#include "MailTestUtil.h"
#include "TestText.h"
#include "base/TKestrifyError.h"

namespace {

using Lines = std::vector<std::string>;

std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const TKestrifyError& e) {
        return Utf(e.what());
    }
    return "no error";
}

TDBXParser Parser(const TDbxImage& image) {
    return TDBXParser(Bytes(image.Bytes()));
}

// Three messages: one in the root's first child, two in the root itself.
TDbxImage ThreeMessages() {
    TDbxImage image;
    const auto m1 = image.AddMessage(image.AddText("Subject: one\r\n\r\nbody 1\r\n"));
    const auto m2 = image.AddMessage(image.AddText("Subject: two\r\n\r\nbody 2"), false);
    const auto m3 = image.AddMessage(image.AddText("Subject: three\r\n\r\nbody 3"));
    const auto leaf = image.AddNode(0, 0, {{m1}});
    const auto root = image.AddNode(leaf, 1, {{m2}, {m3}});
    image.SetHeader(3, root);
    return image;
}

TEST(TDBXParserTest, WalksTheTreeInIndexOrder) {
    TDBXParser parser = Parser(ThreeMessages());
    ASSERT_EQ(parser.GetCount(), 3);
    EXPECT_EQ(parser.GetMail(0)->GetHeader().at("SUBJECT:"), Lines{"one"});
    EXPECT_EQ(parser.GetMail(1)->GetHeader().at("SUBJECT:"), Lines{"two"});
    EXPECT_EQ(parser.GetMail(2)->GetBody(), Lines{"body 3"});
    EXPECT_EQ(parser.GetMailLines(0), (Lines{"Subject: one", "", "body 1"}));
}

// A 0 byte used to end the text ("end"): it is dropped now.
TEST(TDBXParserTest, TextOverSeveralBlocksIsJoinedAndZeroBytesDropped) {
    TDbxImage image;
    // Built in place: GCC 12 at -O1 warns (array-bounds) on the appended temporaries.
    std::string text(1500, 'x');
    text.append("\r\nend").push_back('\0');
    text.append("gone");
    const auto m = image.AddMessage(image.AddText("Subject: long\r\n\r\n" + text, 100));
    image.SetHeader(1, image.AddNode(0, 0, {{m}}));
    TDBXParser parser = Parser(image);
    ASSERT_EQ(parser.GetCount(), 1);
    EXPECT_EQ(parser.GetMail(0)->GetBody(), (Lines{std::string(1500, 'x'), "endgone"}));
}

TEST(TDBXParserTest, MessagesWithoutTextAreEmptyMails) {
    TDbxImage image;
    const auto text = image.AddText("Subject: x\r\n");
    const auto skipped = image.AddMessage(text, true, 0x84);  // field 4 marks it
    const auto noText = image.AddMessage(text);
    image.Bytes()[noText + 0x18] = static_cast<char>(0x83);  // field 3 is no text
    const auto zero = image.AddMessage(0);
    image.SetHeader(3, image.AddNode(0, 0, {{skipped}, {noText}, {zero}}));
    TDBXParser parser = Parser(image);
    ASSERT_EQ(parser.GetCount(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(parser.GetMailLines(i).empty());
        EXPECT_TRUE(parser.GetMail(i)->GetHeader().empty());
    }
}

TEST(TDBXParserTest, ZeroCountReadsNoTree) {
    TDbxImage image;
    image.SetHeader(0, 0xFFFFFF00);
    EXPECT_EQ(Parser(image).GetCount(), 0);
}

TEST(TDBXParserTest, UnreadableFileOrHeader) {
    TDBXParser missing(CorpusFile("dbx/does-not-exist.dbx"));
    EXPECT_EQ(ErrorOf([&] { missing.GetCount(); }), "ファイルが開けません。");
    TDBXParser tiny(Bytes(std::string(0xC6, '\0')));
    EXPECT_EQ(ErrorOf([&] { tiny.GetCount(); }), "ファイルが開けません。");
    TDbxImage badRoot;
    badRoot.SetHeader(1, 0x7FFFFFF0);
    TDBXParser parser = Parser(badRoot);
    EXPECT_EQ(ErrorOf([&] { parser.GetCount(); }), "メールの解析に失敗しました。(1)");
}

TEST(TDBXParserTest, CountLargerThanTheIndexIsCutToIt) {
    TDbxImage image = ThreeMessages();
    image.Put32(0xC4, 1000);
    TDBXParser parser = Parser(image);
    std::vector<std::string> warnings;
    parser.SetOptions({[&warnings](const std::string& m) { warnings.push_back(Utf(m)); }});
    EXPECT_EQ(parser.GetCount(), 3);
    EXPECT_EQ(parser.GetCount(), 3);
    EXPECT_EQ(warnings,
              std::vector<std::string>{
                  "DBXファイルの索引には、ヘッダにある 1000 通のうち 3 通しかありません。"});
    EXPECT_THROW(parser.GetMail(3), TKestrifyError);
    image.Put32(0xC4, 0x80000000);  // negative
    EXPECT_EQ(Parser(image).GetCount(), 0);
}

TEST(TDBXParserTest, CyclicTreeStops) {
    TDbxImage image;
    const auto m = image.AddMessage(image.AddText("Subject: x\r\n"));
    const auto root = image.AddNode(0, 0, {{m}, {m}});
    image.Put32(root + 0x08, root);  // first child is the node itself
    image.Put32(root + 0x14, 1);
    image.Put32(root + 0x18 + 4, root);  // and so is the first entry's child
    image.Put32(root + 0x18 + 8, 7);
    image.SetHeader(50, root);
    EXPECT_EQ(Parser(image).GetCount(), 2);
}

TEST(TDBXParserTest, VeryDeepTreeIsWalked) {
    TDbxImage image;
    const auto m = image.AddMessage(image.AddText("Subject: x\r\n"));
    std::uint32_t node = image.AddNode(0, 0, {{m}});
    for (int i = 0; i < 100000; ++i) {
        node = image.AddNode(node, 1, {});
    }
    image.SetHeader(1, node);
    TDBXParser parser = Parser(image);
    ASSERT_EQ(parser.GetCount(), 1);
    EXPECT_EQ(parser.GetMailLines(0), Lines{"Subject: x"});
}

TEST(TDBXParserTest, LinksOutsideTheFileLoseOnlyTheirBranch) {
    TDbxImage image;
    const auto m = image.AddMessage(image.AddText("Subject: x\r\n"));
    const auto root = image.AddNode(0xFFFFFFF0, 5, {{m, 0x7FFFFFFF, 3}, {m}});
    image.Bytes()[root + 0x11] = 9;  // more entries than the file holds
    image.SetHeader(9, root);
    EXPECT_EQ(Parser(image).GetCount(), 2);
}

TEST(TDBXParserTest, DamagedMessagesRaiseTheirMessage) {
    TDbxImage image;
    const auto good = image.AddText("Subject: x\r\n");
    const auto farBlock = image.AddMessage(0xFFFFF0);
    const auto indirect = image.AddMessage(good, false);
    image.Bytes()[indirect + 0x0A] = static_cast<char>(0xFF);  // value beyond the file
    const auto longText = image.AddText("Subject: y\r\n");
    const auto longBlock = image.AddMessage(longText);
    image.Put32(longText + 0x08, 0x7FFFFFFF);  // more bytes than the file has
    const auto cycleText = image.AddText("Subject: z\r\n");
    const auto cycle = image.AddMessage(cycleText);
    image.Put32(cycleText + 0x0C, cycleText);  // the block links to itself
    const auto fine = image.AddMessage(good);
    image.SetHeader(
        6,
        image.AddNode(0, 0, {{0xFFFFFFF0}, {farBlock}, {indirect}, {longBlock}, {cycle}, {fine}}));
    TDBXParser parser = Parser(image);
    ASSERT_EQ(parser.GetCount(), 6);
    EXPECT_EQ(ErrorOf([&] { parser.GetMail(0); }), "メールの読み取りに失敗しました。(1)");
    EXPECT_EQ(ErrorOf([&] { parser.GetMail(1); }), "ファイルの読み取りに失敗しました。");
    EXPECT_EQ(ErrorOf([&] { parser.GetMail(2); }), "メールの読み取りに失敗しました。(4)");
    EXPECT_EQ(ErrorOf([&] { parser.GetMail(3); }), "ファイルの読み取りに失敗しました。");
    EXPECT_EQ(ErrorOf([&] { parser.GetMail(4); }), "ファイルの読み取りに失敗しました。");
    EXPECT_EQ(parser.GetMail(5)->GetHeader().at("SUBJECT:"), Lines{"x"});
}

TEST(TDBXParserTest, CorpusFiles) {
    struct {
        const char* file;
        int count;
        const char* subject;  // of the first message, or null
    } const cases[] = {
        {"dbx/perl-mtd-test.dbx", 1, "Please read you won't be sorry........"},
        {"dbx/perl-mtd-test1.dbx", 1, "[fmII] centericq 4.7.5 released (Default branch)"},
        {"dbx/oe6-inbox.dbx", 1, "Welcome to Outlook Express 6"},
        {"dbx/dbxconvert-koi8r.dbx", 2, "Subject #1"},
        {"dbx/oe6-outbox-empty.dbx", 0, nullptr},
        {"dbx/oe6-offline.dbx", 0, nullptr},
    };
    for (const auto& c : cases) {
        if (!HaveCorpusFile(c.file)) {
            std::cout << "skipped: optional sample " << c.file << " is missing\n";
            continue;
        }
        TDBXParser parser(CorpusFile(c.file));
        ASSERT_EQ(parser.GetCount(), c.count) << c.file;
        if (c.subject != nullptr) {
            EXPECT_EQ(parser.GetMail(0)->GetHeader().at("SUBJECT:"), Lines{c.subject});
        }
    }
    TDBXParser folders(CorpusFile("dbx/oe6-folders.dbx"));
    for (int i = 0; i < folders.GetCount(); ++i) {
        EXPECT_NO_THROW(folders.GetMail(i));
    }
}

}  // namespace
