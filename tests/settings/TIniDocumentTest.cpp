#include "settings/TIniDocument.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>

#include "TempDir.h"
#include "TestText.h"
#include "base/TKestrifyError.h"

namespace {

TIniDocument Parsed(const std::string& text,
                    TIniDocument::TValueMode mode = TIniDocument::TValueMode::Exact) {
    TIniDocument ini(mode);
    ini.Parse(text);
    return ini;
}

}  // namespace

TEST(IniDocument, NamesMatchWithoutCase) {
    const TIniDocument ini = Parsed("[Eml]\nMailType=3\n");
    EXPECT_EQ(ini.ReadInteger("EML", "MAILTYPE", 0), 3);
    EXPECT_EQ(ini.ReadInteger("eml", "mailtype", 0), 3);
    EXPECT_TRUE(ini.HasSection("eML"));
    EXPECT_FALSE(ini.HasSection("CSV"));
}

TEST(IniDocument, ExactValueKeepsBlanksAndLaterEquals) {
    const TIniDocument ini = Parsed("[A]\n  KEY =  a = b  \r\n");
    EXPECT_EQ(ini.ReadString("A", "KEY", "x"), "  a = b  ");
}

TEST(IniDocument, ProfileValueDropsBlanksAndOneQuotePair) {
    const auto mode = TIniDocument::TValueMode::Profile;
    const TIniDocument ini =
        Parsed("[A]\nK1=  a b  \nK2= \" q \" \nK3='x'\nK4=\"half\nK5=\"\"\"\n", mode);
    EXPECT_EQ(ini.ReadString("A", "K1", ""), "a b");
    EXPECT_EQ(ini.ReadString("A", "K2", ""), " q ");
    EXPECT_EQ(ini.ReadString("A", "K3", ""), "x");
    EXPECT_EQ(ini.ReadString("A", "K4", ""), "\"half");
    EXPECT_EQ(ini.ReadString("A", "K5", ""), "\"");
}

TEST(IniDocument, CommentsAreNotKeysAndSurviveRewrite) {
    TIniDocument ini = Parsed(";K=1\n[A]\n;K=2\nK=3\n[B]\n;note\n");
    EXPECT_EQ(ini.ReadInteger("A", "K", 0), 3);
    EXPECT_FALSE(ini.Find("A", ";K").has_value());
    ini.WriteString("B", "X", "y");
    EXPECT_EQ(ini.Text(), ";K=1\r\n\r\n[A]\r\n;K=2\r\nK=3\r\n\r\n[B]\r\n;note\r\nX=y\r\n\r\n");
}

TEST(IniDocument, WritesKeepPlacesAndAppendAtSectionEnd) {
    TIniDocument ini = Parsed("[A]\nk1=1\nother=keep\n\n\n[Unknown]\nz=9\n[B]\nb=2");
    ini.WriteString("a", "K1", "one");  // existing key: same place, its own spelling
    ini.WriteString("A", "NEW", "n");   // new key: end of its section
    ini.WriteInteger("C", "c", -4);     // new section: after the others
    EXPECT_EQ(ini.Text(),
              "[A]\r\nk1=one\r\nother=keep\r\nNEW=n\r\n\r\n"
              "[Unknown]\r\nz=9\r\n\r\n[B]\r\nb=2\r\n\r\n[C]\r\nc=-4\r\n\r\n");
}

TEST(IniDocument, FirstOfDuplicateKeysAndSectionsWins) {
    TIniDocument ini = Parsed("[A]\nk=1\nk=2\n[A]\nj=3\n");
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 1);
    EXPECT_EQ(ini.ReadInteger("A", "j", 0), 3);
    ini.WriteString("A", "j", "4");
    EXPECT_EQ(ini.Text(), "[A]\r\nk=1\r\nk=2\r\n\r\n[A]\r\nj=4\r\n\r\n");
}

TEST(IniDocument, EraseSectionAndDeleteKeyKeepTheRest) {
    TIniDocument ini = Parsed("[A]\nk=1\nj=2\nk=3\n[S]\nx=1\n[B]\nb=2\n[s]\ny=2\n");
    ini.EraseSection("S");  // both spellings go
    EXPECT_TRUE(ini.DeleteKey("a", "K"));
    EXPECT_EQ(ini.ReadInteger("A", "k", 0), 3);  // the duplicate takes over
    EXPECT_FALSE(ini.DeleteKey("A", "missing"));
    ini.WriteString("A", "j", "4");  // the key index follows the removed line
    EXPECT_EQ(ini.Text(), "[A]\r\nj=4\r\nk=3\r\n\r\n[B]\r\nb=2\r\n\r\n");
}

TEST(IniDocument, ShiftJisNamesAndValues) {
    // The second byte of "ゾ" is "]" and of "ソ" is a backslash.
    const std::string section = Sj("ゾーン");
    TIniDocument ini = Parsed("[" + section + "]\n" + Sj("キー") + "=" + Sj("ソフト") + "\n");
    EXPECT_EQ(ini.ReadString(section, Sj("キー"), ""), Sj("ソフト"));
    ini.WriteString(section, Sj("キー"), Sj("表"));
    EXPECT_EQ(ini.Text(), "[" + section + "]\r\n" + Sj("キー") + "=" + Sj("表") + "\r\n\r\n");
}

TEST(IniDocument, WrittenValueStaysOneLine) {
    TIniDocument ini;
    ini.WriteString("A", "K", std::string("a\r\nB=b\0c", 8));
    const TIniDocument back = Parsed(ini.Text());
    EXPECT_EQ(back.ReadString("A", "K", ""), "a  B=b c");
    EXPECT_FALSE(back.Find("A", "B").has_value());
}

struct IntegerCase {
    const char* text;
    int expected;
};

class IniInteger : public testing::TestWithParam<IntegerCase> {};

TEST_P(IniInteger, ReadsDecimalOrDefault) {
    const TIniDocument ini = Parsed(std::string("[A]\nK=") + GetParam().text + "\n");
    EXPECT_EQ(ini.ReadInteger("A", "K", -7), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Values, IniInteger,
                         testing::Values(IntegerCase{"12", 12}, IntegerCase{" 12 ", 12},
                                         IntegerCase{"-3", -3}, IntegerCase{"+5", 5},
                                         IntegerCase{"", -7}, IntegerCase{"abc", -7},
                                         IntegerCase{"12abc", -7}, IntegerCase{"1.5", -7},
                                         IntegerCase{"+-1", -7}, IntegerCase{"-", -7},
                                         IntegerCase{"99999999999", -7},
                                         IntegerCase{"2147483647", 2147483647}));

TEST(IniDocument, BooleansAreNonZeroNumbers) {
    const TIniDocument ini = Parsed("[A]\nT=2\nF=0\nN=yes\n");
    EXPECT_TRUE(ini.ReadBool("A", "T", false));
    EXPECT_FALSE(ini.ReadBool("A", "F", true));
    EXPECT_TRUE(ini.ReadBool("A", "N", true));
    EXPECT_FALSE(ini.ReadBool("A", "N", false));
    EXPECT_TRUE(ini.ReadBool("A", "missing", true));
}

TEST(IniDocument, FilesLoadAndSave) {
    TTempDir dir;
    TIniDocument ini;
    EXPECT_FALSE(ini.LoadFile(dir.File("none.ini")));
    TTempDir::Write(dir.File("empty.ini"), "");
    EXPECT_TRUE(ini.LoadFile(dir.File("empty.ini")));
    ini.WriteString("S", "K", "v");
    ini.SaveFile(dir.File("out.ini"));
    EXPECT_EQ(TTempDir::Read(dir.File("out.ini")), "[S]\r\nK=v\r\n\r\n");
    EXPECT_EQ(dir.Listing(), "empty.ini out.ini ");
}

// Files that are no settings are refused without being read (a FIFO would
// wait for a writer, a device would never end), and a failure says why.
TEST(IniDocument, FailuresNameTheReason) {
    TTempDir dir;
    ASSERT_EQ(::mkfifo(dir.File("fifo.ini").c_str(), 0600), 0);
    TTempDir::Write(dir.File("big.ini"), "");
    std::filesystem::resize_file(dir.File("big.ini"), (16u << 20) + 1);
    TIniDocument ini;
    const auto error = [](const auto& action) {
        try {
            action();
        } catch (const TKestrifyError& e) {
            const std::string text = e.what();
            return text.substr(text.rfind(" ("));
        }
        return std::string("no error");
    };
    EXPECT_EQ(error([&] { ini.LoadFile(dir.Path()); }), " (a folder)");
    EXPECT_EQ(error([&] { ini.LoadFile(dir.File("fifo.ini")); }), " (not a regular file)");
    EXPECT_EQ(error([&] { ini.LoadFile(dir.File("big.ini")); }), " (larger than 16 MB)");
    EXPECT_EQ(error([&] { ini.SaveFile(dir.Path() / "missing" / "x.ini"); }),
              " (No such file or directory)");
}

TEST(IniDocument, DamagedTextParsesAndSettlesAfterOneRewrite) {
    // Random bytes, biased towards the characters that carry structure.
    std::mt19937 random(7);
    const std::string alphabet("[]=;\r\n \t\"'\0aK\x83\x5d\x81\x40", 17);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int length = static_cast<int>(random() % 200);
        for (int i = 0; i < length; ++i) {
            text += random() % 4 == 0 ? static_cast<char>(random() % 256)
                                      : alphabet[random() % alphabet.size()];
        }
        TIniDocument first;
        first.Parse(text);
        first.WriteString("A", "K", "v");
        TIniDocument second;
        second.Parse(first.Text());
        EXPECT_EQ(second.ReadString("A", "K", ""), "v");
        EXPECT_EQ(second.Text(), first.Text()) << round;
    }
}
