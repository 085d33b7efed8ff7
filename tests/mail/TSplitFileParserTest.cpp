#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "MailTestUtil.h"
#include "TestText.h"
#include "base/TKestrifyError.h"
#include "mail/TEudoraParser.h"
#include "mail/TMBOXParser.h"
#include "mail/TShurikenParser.h"
#include "mail/TStoreChangedError.h"
#include "mail/TThunderbirdParser.h"

namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

std::vector<Lines> AllMails(TSplitFileParser& parser) {
    std::vector<Lines> mails;
    for (int i = 0; i < parser.GetCount(); ++i) {
        mails.push_back(parser.GetMailLines(i));
    }
    return mails;
}

std::vector<Lines> Mbox(std::string text) {
    TMBOXParser parser(Bytes(std::move(text)));
    return AllMails(parser);
}

std::vector<Lines> Shuriken(std::string text) {
    TShurikenParser parser(Bytes(std::move(text)));
    return AllMails(parser);
}

struct TSplitCase {
    const char* name;
    std::string text;
    std::vector<Lines> mails;
};

class TMboxSplitTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(TMboxSplitTest, Splits) {
    EXPECT_EQ(Mbox(GetParam().text), GetParam().mails);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, TMboxSplitTest,
    ::testing::Values(
        TSplitCase{"BlankLineEndsEachMessage",
                   "From a\nSubject: 1\n\nbody 1\n\nFrom b\nSubject: 2\n\nbody 2\n\n",
                   {{"Subject: 1", "", "body 1"}, {"Subject: 2", "", "body 2"}}},
        TSplitCase{"LastLineKeptWithoutFinalBlankLine",
                   "From a\nX: 1\n\nlast field\n",
                   {{"X: 1", "", "last field"}}},
        TSplitCase{"LastLineKeptWithoutFinalLineBreak",
                   "From a\nX: 1\n\nno break",
                   {{"X: 1", "", "no break"}}},
        TSplitCase{"LineBeforeSeparatorKeptWhenNotEmpty", "From a\nA\nFrom b\nB\n", {{"A"}, {"B"}}},
        TSplitCase{"ConsecutiveSeparatorsGiveAnEmptyMail", "From a\nFrom b\nB\n\n", {{}, {"B"}}},
        TSplitCase{"FromHeaderIsNoSeparator",
                   "From a\nFrom: x\n>From y\nFrom\tz\n",
                   {{"From: x", ">From y", "From\tz"}}},
        TSplitCase{"BodyLineStartingWithFromSplits",
                   "From a\n\nsee\nFrom here on\nmore\n",
                   {{"", "see"}, {"more"}}},
        TSplitCase{"PreambleIsIgnored", "junk\n\nFrom a\nA\n", {{"A"}}},
        TSplitCase{"CrLfAndCrLineEnds", "From a\r\nA\r\n\r\nFrom b\rB\r\r", {{"A"}, {"B"}}},
        TSplitCase{"ZeroByteIsDropped", "From a\nA\0\nFrom b\nB\n"s, {{"A"}, {"B"}}},
        // A 0 byte used to end the mail's text ({"X"}); it is dropped now,
        // and a "From " after it on its line is still no separator.
        TSplitCase{"SeparatorAfterZeroByteInItsLineDoesNotCount",
                   "From a\nX\0From b\nY\n\0From c\nFrom d\nD\n"s,
                   {{"XFrom b", "Y", "From c"}, {"D"}}},
        TSplitCase{"ByteOrderMarkIsSkipped",
                   "\xEF\xBB\xBF"
                   "From a\nA\n",
                   {{"A"}}},
        TSplitCase{"NoSeparatorNoMail", "Subject: x\n\nbody\n", {}},
        TSplitCase{"EmptyFile", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

class TShurikenSplitTest : public ::testing::TestWithParam<TSplitCase> {};

TEST_P(TShurikenSplitTest, Splits) {
    EXPECT_EQ(Shuriken(GetParam().text), GetParam().mails);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, TShurikenSplitTest,
    ::testing::Values(
        TSplitCase{"SeparatorStartsEveryMail", "#SEP#\nA\n\n#SEP#\nB\n\n", {{"A"}, {"B"}}},
        TSplitCase{
            "SeparatorInsideBodySplits", "#SEP#\nA\n#SEP#\nB\n#SEP#\nC\n", {{"A"}, {"B"}, {"C"}}},
        TSplitCase{
            "SimilarLineIsNoSeparator", "#SEP#\nA\n#SEP# \n#SEP#x\n", {{"A", "#SEP# ", "#SEP#x"}}},
        TSplitCase{"SingleLineHasNoMail", "#SEP#\n", {}},
        TSplitCase{"TwoLinesGiveOneEmptyMail", "#SEP#\n\n", {{}}},
        TSplitCase{"LastLineKeptWhenNotEmpty", "#SEP#\nlast\n", {{"last"}}},
        // A 0 byte used to end the mail's text ({"A"}): it is dropped now.
        TSplitCase{"ZeroByteIsDropped", "#SEP#\nA\0B\n#SEP#\nC\n"s, {{"AB"}, {"C"}}},
        TSplitCase{"EmptyFile", "", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Separators are found in blocks of bytes: each must be found wherever it
// falls against a block's edge, in a buffer of exactly the file's size.
TEST(TMBOXParserTest, SeparatorsFoundAtEveryOffset) {
    for (std::size_t pad = 0; pad < 40; ++pad) {
        const std::string text = "From 0\n" + std::string(pad, 'x') +
                                 "\nFrom 1\nA\r\nFrom 2\rB\n\0From 3\nC\nFFrom 4\r\nFrom"s;
        TMBOXParser parser(TMappedFile::FromBuffer(text.data(), text.size()));
        const std::vector<Lines> expected = {pad == 0 ? Lines{} : Lines{std::string(pad, 'x')},
                                             {"A"},
                                             {"B", "From 3", "C", "FFrom 4", "From"}};
        EXPECT_EQ(AllMails(parser), expected) << pad;
    }
}

// A large file is searched in pieces on several threads: a separator whose
// line break lies just before, at or after a piece's edge is found once, in
// order.
TEST(TMBOXParserTest, PiecesOnThreadsFindWhatOneThreadFinds) {
    for (const long shift : {-7L, -1L, 0L, 3L}) {
        std::string text(48u << 20, 'x');  // three pieces of 16 MiB
        char name = 'A';
        for (const std::size_t edge : {std::size_t{16} << 20, std::size_t{32} << 20}) {
            text.replace(static_cast<std::size_t>(static_cast<long>(edge) + shift), 9,
                         "\nFrom .\n"s + name++);
        }
        text.replace(text.size() - 9, 9, "\rFrom .\nZ");
        // Each mail by the first letter of its first line.
        const auto mails = [&text](int threads) {
            TMBOXParser parser(TMappedFile::FromBuffer(text.data(), text.size()), threads);
            std::string names;
            for (int i = 0; i < parser.GetCount(); ++i) {
                names += parser.GetMailLines(i).at(0).at(0);
            }
            return names;
        };
        EXPECT_EQ(mails(1), "ABZ") << "line break at edge " << shift;
        for (const int threads : {2, 3}) {
            EXPECT_EQ(mails(threads), "ABZ") << threads << " threads, edge " << shift;
        }
    }
}

TEST(TMBOXParserTest, BadIndexThrows) {
    TMBOXParser parser(Bytes("From a\nA\n"));
    ASSERT_EQ(parser.GetCount(), 1);
    EXPECT_THROW(parser.GetMailLines(1), TKestrifyError);
    EXPECT_THROW(parser.GetMail(-1), TKestrifyError);
}

TEST(TMBOXParserTest, MissingFileThrows) {
    EXPECT_THROW(TMBOXParser(CorpusFile("mbox/does-not-exist")), TKestrifyError);
    EXPECT_THROW(TShurikenParser(CorpusFile("mbox")), TKestrifyError);  // a folder
}

TEST(TMBOXParserTest, LargeFileIsReadThroughTheMapping) {
    TTempDir dir;
    std::string text;
    for (int i = 0; text.size() < (3u << 20) / 2; ++i) {
        text += "From x\nSubject: " + std::to_string(i) + "\n\n" + std::string(700, 'b') + "\n\n";
    }
    text += "From last\nSubject: end\n\nfinal line";
    WriteFile(dir.Path() / "big.mbox", text);
    TMBOXParser parser((dir.Path() / "big.mbox").string());
    ASSERT_GT(parser.GetCount(), 2000);
    EXPECT_EQ(parser.GetMailLines(parser.GetCount() - 1),
              (Lines{"Subject: end", "", "final line"}));
    EXPECT_EQ(parser.GetMailLines(7), (Lines{"Subject: 7", "", std::string(700, 'b')}));
}

// A mail client compacting the mbox while it is read: the mails before the
// cut read as before (no SIGBUS); the first whose text is gone ends the
// store as a whole (TStoreChangedError, also from GetCount), as the rest
// of it cannot be trusted.
TEST(TMBOXParserTest, StoreCutShortWhileReadFailsAsAWholeAtTheFirstLostMail) {
    struct TCase {
        const char* name;
        const char* separator;
        std::function<std::unique_ptr<TSplitFileParser>(const std::string&)> open;
    };
    const TCase cases[] = {
        {"mbox", "From x\n", [](const std::string& p) { return std::make_unique<TMBOXParser>(p); }},
        {"Thunderbird", "From - x\n",
         [](const std::string& p) { return std::make_unique<TThunderbirdParser>(p, 2); }},
    };
    for (const TCase& c : cases) {
        TTempDir dir;
        std::string text;
        for (int i = 0; text.size() < (3u << 20); ++i) {
            text += std::string(c.separator) + "Subject: " + std::to_string(i) + "\n\n" +
                    std::string(700, 'b') + "\n\n";
        }
        WriteFile(dir.Path() / "big.mbox", text);
        const auto parser = c.open((dir.Path() / "big.mbox").string());
        const int count = parser->GetCount();
        std::filesystem::resize_file(dir.Path() / "big.mbox", 1u << 20);
        int whole = 0;  // mails that end before the cut
        for (std::size_t next = text.find(std::string("\n") + c.separator);
             next != std::string::npos && next < (1u << 20);
             next = text.find(std::string("\n") + c.separator, next + 1)) {
            ++whole;
        }
        ASSERT_GT(whole, 100) << c.name;
        for (int i = 0; i < whole; ++i) {
            EXPECT_EQ(parser->GetMailLines(i).at(0), "Subject: " + std::to_string(i)) << c.name;
        }
        try {
            parser->GetMailLines(whole);
            ADD_FAILURE() << c.name << ": the lost mail was read";
        } catch (const TStoreChangedError& e) {
            EXPECT_NE(Utf(e.what()).find("短くなりました"), std::string::npos) << Utf(e.what());
        }
        EXPECT_THROW(parser->GetCount(), TStoreChangedError) << c.name;
        EXPECT_THROW(parser->GetMail(count - 1), TStoreChangedError) << c.name;
        std::string header;
        EXPECT_THROW(parser->AppendRawHeader(count - 2, header), TStoreChangedError) << c.name;
    }
}

TEST(TMBOXParserTest, IndexHoldsManyThousandMails) {
    std::string text;
    for (int i = 0; i < 20000; ++i) {
        text += "From x\n" + std::to_string(i) + "\n";
    }
    TMBOXParser parser(Bytes(text));
    ASSERT_EQ(parser.GetCount(), 20000);
    for (const int i : {0, 8191, 8192, 8193, 16384, 19999}) {
        EXPECT_EQ(parser.GetMailLines(i), Lines{std::to_string(i)}) << i;
    }
}

TEST(TMBOXParserTest, MailsAreParsed) {
    TMBOXParser parser(
        Bytes("From a\nSubject: =?ISO-2022-JP?B?GyRCN29MPiRHJDkbKEI=?=\n"
              "Content-Type: text/plain; charset=iso-2022-jp\n\n\x1b$B$3$s$K$A$O\x1b(B\n\n"));
    ASSERT_EQ(parser.GetCount(), 1);
    const auto mail = parser.GetMail(0);
    EXPECT_EQ(mail->GetHeader().at("SUBJECT:"), Lines{Sj("件名です")});
    EXPECT_EQ(mail->GetBody(), Lines{Sj("こんにちは")});
}

TEST(TMBOXParserTest, CorpusFiles) {
    struct {
        const char* file;
        int count;
    } const cases[] = {{"mbox/sisimai-mbox-0", 37},      {"mbox/sisimai-mbox-1", 1},
                       {"mbox/sisimai-size-0", 0},       {"mbox/sisimai-size-1", 0},
                       {"mbox/sisimai-size-2", 0},       {"mbox/mimekit-gmail-takeout.mbox", 4},
                       {"mbox/mimekit-unmunged.mbox", 4}};
    for (const auto& c : cases) {
        TMBOXParser parser(CorpusFile(c.file));
        EXPECT_EQ(parser.GetCount(), c.count) << c.file;
        for (int i = 0; i < parser.GetCount(); ++i) {
            EXPECT_NO_THROW(parser.GetMail(i)) << c.file << " " << i;
        }
    }
    TMBOXParser unmunged(CorpusFile("mbox/mimekit-unmunged.mbox"));
    EXPECT_EQ(unmunged.GetMail(0)->GetHeader().at("SUBJECT:"),
              Lines{"This is a test message with an unmunged From line"});
}

TEST(TMBOXParserTest, JapaneseCorpusMailDecodes) {
    TMBOXParser parser(CorpusFile("mbox/sisimai-mbox-0"));
    int japanese = 0;
    for (int i = 0; i < parser.GetCount(); ++i) {
        const auto mail = parser.GetMail(i);
        for (const std::string& line : mail->GetBody()) {
            EXPECT_TRUE(sjis::IsValid(line));
            if (line.find(Sj("送信")) != std::string::npos) {
                ++japanese;
            }
        }
    }
    EXPECT_GT(japanese, 0);
}

TEST(TMBOXParserTest, MailsCanBeReadFromSeveralThreads) {
    std::string text;
    for (int i = 0; i < 400; ++i) {
        text += "From x\nSubject: mail " + std::to_string(i) +
                "\nContent-Type: text/plain; charset=utf-8\n"
                "Content-Transfer-Encoding: base64\n\n44Om44O844OG44Kj44O844Ko44OV\n\n";
    }
    TMBOXParser parser(Bytes(text));
    const int count = parser.GetCount();
    ASSERT_EQ(count, 400);
    std::vector<std::string> subjects(count);
    std::vector<std::string> bodies(count);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = t; i < count; i += 4) {
                const auto mail = parser.GetMail(i);
                subjects[i] = mail->GetHeader().at("SUBJECT:").at(0);
                bodies[i] = mail->GetBody().at(0);
            }
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(subjects[i], "mail " + std::to_string(i));
        EXPECT_EQ(bodies[i], Sj("ユーティーエフ"));
    }
}

TEST(TEudoraParserTest, CorpusMailbox) {
    KFY_NEED_CORPUS("eudora/eudora71-In.mbx");
    TEudoraParser parser(CorpusFile("eudora/eudora71-In.mbx"));
    ASSERT_EQ(parser.GetCount(), 5);
    for (int i = 0; i < parser.GetCount(); ++i) {
        const auto mail = parser.GetMail(i);
        EXPECT_EQ(mail->GetHeader().count("SUBJECT:"), 1u) << i;
    }
    EXPECT_EQ(parser.GetMailLines(4).back(),
              "Embedded Content: kate_halloween.jpg: 00000001,277bfd3a,00000000,00000000");
}

TEST(TEudoraParserTest, BodyIsNotConverted) {
    TEudoraParser parser(
        Bytes("From ???@??? Mon Jan 01 00:00:00 2001\r\n"
              "Content-Type: text/plain; charset=iso-2022-jp\r\n\r\n"
              "\x1b$B$3$s$K$A$O\x1b(B\r\n\r\n"));
    ASSERT_EQ(parser.GetCount(), 1);
    EXPECT_EQ(parser.GetMail(0)->GetBody(), Lines{"\x1b$B$3$s$K$A$O\x1b(B"});
}

}  // namespace
