#include "settings/TSettingFile.h"

#include <gtest/gtest.h>

#include "TParamMaker.h"
#include "TempDir.h"
#include "TestText.h"
#include "base/TKestrifyError.h"

namespace {

const std::string kData = std::string(KESTRIFY_TEST_DATA_DIR) + "/settings/";

// Every stored field of a parameter, in one comparable text.
std::string Describe(const TOrderedParamString& p) {
    return std::to_string(p.GetParamOrder()) + "|" + Utf(p.GetParamKey()) + "|" +
           std::to_string(p.GetFieldOrder()) + "|" + Utf(p.GetFieldName()) + "|" +
           std::to_string(p.GetRowType()) + std::to_string(p.GetPosType()) + "|" +
           std::to_string(p.GetRegExt()) + std::to_string(p.GetOneLine()) +
           std::to_string(p.GetTrim()) + "|" + std::to_string(p.GetAutoFormat()) + "|" +
           std::to_string(p.GetStartLine()) + "|" + Utf(p.GetEndStr()) + "|" +
           std::to_string(p.GetEndStrRegExp()) + std::to_string(p.GetMailAddress()) +
           std::to_string(p.GetMailName());
}

std::vector<std::string> DescribeAll(const std::vector<TOrderedParamString>& params) {
    std::vector<std::string> out;
    for (const auto& p : params) {
        out.push_back(Describe(p));
    }
    return out;
}

}  // namespace

TEST(SettingFile, Version4RoundTripKeepsEveryField) {
    TTempDir dir;
    TSettingFile out(dir.File("p.KFY"));
    out.SetMailType(3);
    out.SetDirectory(Sj("/home/ユーザー/メール"));
    TOrderedParamString order = PlainParam(Sj("  注文： "), 2, Sj(" 注文 "), 0, 0, 0);
    order.SetRegExt(true);
    order.SetOneLine(true);
    order.SetTrim(true);
    order.SetAutoFormat(40);
    order.SetStartLine(false);
    order.SetEndStr(Sj("以上"));
    order.SetEndStrRegExp(true);
    out.AddParam(order);
    TOrderedParamString from = PlainParam("From:", 0, Sj("差出人"), 1, 1, 1);
    from.SetMailName(true);
    out.AddParam(from);
    out.AddParam(PlainParam("", 1, Sj("空"), 2, 2, 2));
    TCSVSaveParam csv;
    csv.SetSaveFileName(Sj("/tmp/結果 .csv"));
    csv.SetSaveType(1);
    csv.SetMakeBackup(false);
    out.SetCSVSaveParam(csv);
    out.Write();

    TSettingFile in(dir.File("p.KFY"));
    in.Read();
    EXPECT_EQ(in.GetMailType(), 3);
    EXPECT_EQ(in.GetDirectory(), Sj("/home/ユーザー/メール"));
    EXPECT_EQ(DescribeAll(in.GetParams()), DescribeAll(out.GetParams()));
    EXPECT_EQ(in.GetCSVSaveParam(), csv);
}

TEST(SettingFile, Version4LayoutAsWritten) {
    TTempDir dir;
    TSettingFile out(dir.File("p.KFY"));
    out.SetDirectory("/d");
    // A header parameter's stored end text is not written, nor its flag.
    TOrderedParamString to = PlainParam("To:", 0, "to", 1, 1, 0);
    to.SetEndStr("x");
    to.SetEndStrRegExp(true);
    to.SetMailName(true);  // stored, but not written while the address is taken
    to.SetMailAddress(true);
    out.AddParam(to);
    out.Write();
    EXPECT_EQ(TTempDir::Read(dir.File("p.KFY")),
              "[EML]\r\nMAILTYPE=0\r\nDIRECTORY=/d\r\nPARAM=1\r\n"
              "PARAM_KEY0=To:\r\nFIELD_NAME0=to\r\nPARAM_ROW_TYPE0=1\r\nPARAM_POS_TYPE0=1\r\n"
              "PARAM_ORDER0=0\r\nFIELD_ORDER0=0\r\nPARAM_REGEXT0=0\r\nTRIM0=0\r\nONE_LINE0=0\r\n"
              "AUTO_FORMAT0=0\r\nSTART_LINE0=1\r\nENDSTR0=\r\nENDSTR_REGEXP0=0\r\n"
              "MAIL_ADDRESS0=1\r\nMAIL_NAME0=0\r\n\r\n"
              "[CSV]\r\nMAKEBACKUP=1\r\nSAVEFILENAME=\r\nSAVETYPE=0\r\n\r\n"
              "[SYSTEM]\r\nVERSION=4\r\n\r\n");
}

// The key appears once the option was on and then stays; a project that
// never had it keeps its bytes (see Version4LayoutAsWritten).
TEST(SettingFile, OnlyNewIsWrittenOnceUsed) {
    TTempDir dir;
    TSettingFile out(dir.File("p.KFY"));
    TCSVSaveParam save;
    save.SetOnlyNew(true);
    out.SetCSVSaveParam(save);
    out.Write();
    EXPECT_NE(TTempDir::Read(dir.File("p.KFY")).find("SAVETYPE=0\r\nONLYNEW=1\r\n"),
              std::string::npos);
    TSettingFile in(dir.File("p.KFY"));
    in.Read();
    EXPECT_TRUE(in.GetCSVSaveParam().GetOnlyNew());
    save.SetOnlyNew(false);
    in.SetCSVSaveParam(save);
    in.Write();
    EXPECT_NE(TTempDir::Read(dir.File("p.KFY")).find("ONLYNEW=0\r\n"), std::string::npos);
}

TEST(SettingFile, MissingKeysReadAsDefaults) {
    TTempDir dir;
    TTempDir::Write(dir.File("p.kfy"),
                    "[EML]\nPARAM=1\nMAILTYPE=x\nPARAM_ROW_TYPE0=?\n[SYSTEM]\nVERSION=4\n");
    TSettingFile in(dir.File("p.kfy"));
    const auto params = in.GetParams();  // reads the file first
    ASSERT_EQ(params.size(), 1u);
    EXPECT_EQ(Describe(params[0]), "-1||-1||10|000|0|1||000");
    EXPECT_EQ(in.GetMailType(), 0);
    EXPECT_EQ(in.GetCSVSaveParam(), TCSVSaveParam());
}

TEST(SettingFile, ParameterCountIsCapped) {
    TTempDir dir;
    std::string text = "[EML]\r\nPARAM=300\r\n";
    for (int n = 0; n < 300; ++n) {
        text += "PARAM_KEY" + std::to_string(n) + "=k" + std::to_string(n) + "\r\n";
    }
    text += "[SYSTEM]\r\nVERSION=4\r\n";
    TTempDir::Write(dir.File("big.KFY"), text);
    TSettingFile in(dir.File("big.KFY"));
    const auto params = in.GetParams();
    ASSERT_EQ(params.size(), 256u);
    EXPECT_EQ(params[255].GetParamKey(), "k255");
}

TEST(SettingFile, UnknownOrMissingVersionGivesNoParameters) {
    for (const char* system : {"", "[SYSTEM]\nVERSION=5\n", "[SYSTEM]\nVERSION=2\n"}) {
        TTempDir dir;
        TTempDir::Write(dir.File("p.KFY"),
                        std::string("[EML]\nMAILTYPE=4\nDIRECTORY=/x\nPARAM=1\nPARAM_KEY0=k\n") +
                            "[CSV]\nSAVETYPE=1\n" + system);
        TSettingFile in(dir.File("p.KFY"));
        in.Read();
        EXPECT_TRUE(in.GetParams().empty()) << system;
        EXPECT_EQ(in.GetMailType(), 4);
        EXPECT_EQ(in.GetDirectory(), "/x");
        EXPECT_EQ(in.GetCSVSaveParam().GetSaveType(), 1);
    }
}

TEST(SettingFile, OldFormatWithNewVersionGivesNoParameters) {
    TTempDir dir;
    TTempDir::Write(dir.File("p.INI"), "[EML]\nPARAM=1\nPARAM_KEY0=k\n[SYSTEM]\nVERSION=3\n");
    TSettingFile in(dir.File("p.INI"));
    EXPECT_TRUE(in.GetParams().empty());
}

TEST(SettingFile, ReadsVersion0) {
    TSettingFile in(kData + "version0.INI");
    in.Read();
    EXPECT_EQ(in.GetMailType(), 2);
    EXPECT_EQ(in.GetDirectory(), Sj("/home/user/メール/mbox"));
    EXPECT_EQ(DescribeAll(in.GetParams()),
              (std::vector<std::string>{"0|お名前：|0|お名前：|10|000|0|1||000",
                                        "1|Subject:|1|Subject:|11|000|0|1||000",
                                        "2|  ご意見 |2|  ご意見 |00|100|0|1|以上|000"}));
    EXPECT_EQ(in.GetCSVSaveParam().GetSaveFileName(), Sj("C:/out/結果.csv"));
    EXPECT_EQ(in.GetCSVSaveParam().GetSaveType(), 1);
    EXPECT_FALSE(in.GetCSVSaveParam().GetMakeBackup());
}

TEST(SettingFile, ReadsVersion1WithFieldOrderList) {
    TSettingFile in(kData + "version1.ini");
    EXPECT_EQ(DescribeAll(in.GetParams()),
              (std::vector<std::string>{
                  "0|氏名：|2|氏名|10|000|0|1||000", "1|住所：|0|住所|00|000|0|1||000",
                  "2|From:|3|差出人|11|000|0|1||000", "3|備考：|1|備考|00|000|0|1|----|000"}));
    EXPECT_EQ(in.GetDirectory(), "/home/user/eml");
}

TEST(SettingFile, Version1ShortOrderListKeepsPositions) {
    TSettingFile in(kData + "version1-short.INI");
    const auto params = in.GetParams();
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[0].GetFieldOrder(), 1);
    EXPECT_EQ(params[1].GetFieldOrder(), 1);  // "x" is no number: its own index
    EXPECT_EQ(params[2].GetFieldOrder(), 2);  // past the list: its own index
}

TEST(SettingFile, ReadsVersion2) {
    TSettingFile in(kData + "version2.INI");
    EXPECT_EQ(DescribeAll(in.GetParams()),
              (std::vector<std::string>{"0|電話：|1|電話|10|001|0|1||000",
                                        "1|^内容|0|内容|00|110|40|0|終わり|000"}));
    EXPECT_EQ(in.GetMailType(), 5);
}

TEST(SettingFile, ReadsVersion3ExactlyAndEndTextOnlyForMultiLineBodyLast) {
    TSettingFile in(kData + "version3.KFY");
    EXPECT_EQ(DescribeAll(in.GetParams()),
              (std::vector<std::string>{"0| 注文番号：|0|注文番号 |00|000|0|1||000",
                                        "1|Date:|1|日付|01|000|0|1||000"}));
    EXPECT_EQ(in.GetCSVSaveParam().GetSaveFileName(), Sj("/home/user/注文.csv"));
}

TEST(SettingFile, Version3LastMultiLineBodyParameterGetsEndText) {
    TTempDir dir;
    TTempDir::Write(dir.File("p.KFY"),
                    "[EML]\nPARAM=2\nPARAM_ROW_TYPE0=0\nPARAM_ROW_TYPE1=0\nENDSTR= end \n"
                    "[SYSTEM]\nVERSION=3\n");
    TSettingFile in(dir.File("p.KFY"));
    const auto params = in.GetParams();
    ASSERT_EQ(params.size(), 2u);
    EXPECT_EQ(params[0].GetEndStr(), "");
    EXPECT_EQ(params[1].GetEndStr(), " end ");
}

TEST(SettingFile, KeysOfRemovedParametersStayButAreNotRead) {
    TTempDir dir;
    TSettingFile five(dir.File("p.KFY"));
    for (int n = 0; n < 5; ++n) {
        five.AddParam(PlainParam("k" + std::to_string(n), n, "f", 1, 0, n));
    }
    five.Write();
    TSettingFile three(dir.File("p.KFY"));
    for (int n = 0; n < 3; ++n) {
        three.AddParam(PlainParam("new" + std::to_string(n), n, "f", 1, 0, n));
    }
    three.Write();
    const std::string text = TTempDir::Read(dir.File("p.KFY"));
    EXPECT_NE(text.find("PARAM_KEY4=k4\r\n"), std::string::npos);
    EXPECT_NE(text.find("PARAM_KEY2=new2\r\n"), std::string::npos);
    TSettingFile in(dir.File("p.KFY"));
    const auto params = in.GetParams();
    ASSERT_EQ(params.size(), 3u);
    EXPECT_EQ(params[2].GetParamKey(), "new2");
}

// A file without HTMLTEXT reads as off and is written back without it; a
// project that has it keeps it.
TEST(SettingFile, HtmlTextIsOffWithoutTheKey) {
    TTempDir dir;
    const struct {
        const char* text;
        bool htmlText;
        bool written;
    } cases[] = {{"[EML]\r\nMAILTYPE=2\r\n", false, false},
                 {"[EML]\r\nHTMLTEXT=1\r\n", true, true},
                 {"[EML]\r\nHTMLTEXT=0\r\n", false, true}};
    for (const auto& c : cases) {
        TTempDir::Write(dir.File("p.KFY"), c.text);
        TSettingFile in(dir.File("p.KFY"));
        in.Read();
        EXPECT_EQ(in.Project().htmlText, c.htmlText) << c.text;
        in.Write();
        const std::string text = TTempDir::Read(dir.File("p.KFY"));
        EXPECT_EQ(text.find("HTMLTEXT=") != std::string::npos, c.written) << text;
        TSettingFile again(dir.File("p.KFY"));
        again.Read();
        EXPECT_EQ(again.Project().htmlText, c.htmlText) << c.text;
    }
}

TEST(SettingFile, WriteKeepsOtherSections) {
    TTempDir dir;
    TTempDir::Write(
        dir.File("p.KFY"),
        "[FORM_CONVERT]\r\nConvertFormSize=1\r\n\r\n[EML]\r\nMAILTYPE=1\r\nextra=e\r\n");
    TSettingFile out(dir.File("p.KFY"));
    out.SetMailType(2);
    out.Write();
    const std::string text = TTempDir::Read(dir.File("p.KFY"));
    EXPECT_EQ(text.rfind("[FORM_CONVERT]\r\nConvertFormSize=1\r\n\r\n[EML]\r\nMAILTYPE=2\r\n"
                         "extra=e\r\nDIRECTORY=\r\n",
                         0),
              0u)
        << text;
}

struct ExtensionCase {
    const char* given;
    const char* written;
};

class SettingFileExtension : public testing::TestWithParam<ExtensionCase> {};

TEST_P(SettingFileExtension, WritesUnderKfyName) {
    TTempDir dir;
    TSettingFile out(dir.File(GetParam().given));
    out.Write();
    EXPECT_EQ(out.GetFileName(), dir.File(GetParam().written));
    EXPECT_EQ(dir.Listing(), std::string(GetParam().written) + " ");
}

INSTANTIATE_TEST_SUITE_P(
    Names, SettingFileExtension,
    testing::Values(ExtensionCase{"job", "job.KFY"}, ExtensionCase{"job.kfy", "job.kfy"},
                    ExtensionCase{"job.Kfy", "job.Kfy"}, ExtensionCase{"job.ini", "job.KFY"},
                    ExtensionCase{"a.b.INI", "a.b.KFY"}, ExtensionCase{"job.", "job.KFY"}));

TEST(SettingFile, ExtensionIsTakenFromFileNameOnly) {
    EXPECT_EQ(TSettingFile::KfyFileName("/a.kfy/job"), "/a.kfy/job.KFY");
    EXPECT_EQ(TSettingFile::KfyFileName(Sj("/データ/案件.ini")), Sj("/データ/案件.KFY"));
}

TEST(SettingFile, MissingFileReadsAsEmptyProject) {
    TTempDir dir;
    TSettingFile in(dir.File("none.KFY"));
    in.SetMailType(3);
    in.AddParam(TOrderedParamString());
    in.Read();
    EXPECT_EQ(in.GetMailType(), 0);
    EXPECT_EQ(in.GetDirectory(), "");
    EXPECT_TRUE(in.GetParams().empty());
    EXPECT_EQ(in.GetCSVSaveParam(), TCSVSaveParam());
}

TEST(SettingFile, NegativeMailTypeIsIgnored) {
    TTempDir dir;
    TTempDir::Write(dir.File("p.KFY"), "[EML]\nMAILTYPE=-2\n");
    TSettingFile in(dir.File("p.KFY"));
    in.SetMailType(4);
    in.Read();
    EXPECT_EQ(in.GetMailType(), 4);
}

TEST(SettingFile, FileErrorsAreRaised) {
    TTempDir dir;
    std::filesystem::create_directory(dir.Path() / "p.KFY");
    TSettingFile unreadable(dir.File("p.KFY"));
    EXPECT_THROW(unreadable.Read(), TKestrifyError);
    TSettingFile unwritable(dir.File("missing/p.KFY"));
    EXPECT_THROW(unwritable.Write(), TKestrifyError);
}

TEST(SettingFile, ShiftJisPathIsUsed) {
    TTempDir dir;
    TSettingFile out(Sj(dir.File("案件.KFY")));
    out.SetDirectory("/d");
    out.Write();
    EXPECT_TRUE(std::filesystem::exists(dir.Path() / "案件.KFY"));
}

// Projects written by hand are often UTF-8; Shift_JIS ones must stay as
// they are, also when their bytes happen to look like something else.
TEST(SettingFile, ReadsUtf8ProjectsAsEditorsSaveThem) {
    const std::string body = "[EML]\r\nPARAM=1\r\nFIELD_NAME0=差出人\r\n[SYSTEM]\r\nVERSION=4\r\n";
    struct TCase {
        std::string bytes;
        bool utf8;
    };
    const std::vector<TCase> cases = {
        {"\xEF\xBB\xBF" + body, true},  // byte-order mark
        {body, true},                   // "差出人" in UTF-8 is also valid Shift_JIS
        {Sj(body), false},
    };
    for (const TCase& c : cases) {
        TTempDir dir;
        TTempDir::Write(dir.File("p.KFY"), c.bytes);
        TSettingFile in(dir.File("p.KFY"));
        in.Read();
        EXPECT_EQ(in.WasUtf8(), c.utf8);
        ASSERT_EQ(in.GetParams().size(), 1u);
        EXPECT_EQ(in.GetParams()[0].GetFieldName(), Sj("差出人"));
        // Saved again, it is Shift_JIS.
        in.Write();
        EXPECT_NE(TTempDir::Read(dir.File("p.KFY")).find(Sj("差出人")), std::string::npos);
    }
}

TEST(SettingFile, NumbersOutOfRangeAreNamedNotNarrowed) {
    struct TCase {
        std::string lines;  // in [EML] after one parameter's keys, or [CSV]
        std::string named;
    };
    const std::vector<TCase> cases = {
        {"[CSV]\nSAVETYPE=257", "SAVETYPE=257 (0 から 1 までの数)"},
        {"[CSV]\nSAVETYPE=-1", "SAVETYPE=-1"},
        {"[CSV]\nSAVETYPE=99999999999", "SAVETYPE=99999999999"},
        {"[CSV]\nONLYNEW=2", "ONLYNEW=2"},
        {"[EML]\nMAILTYPE=99", "MAILTYPE=99"},
        {"[EML]\nPARAM_ROW_TYPE0=3", "PARAM_ROW_TYPE0=3"},
        {"[EML]\nPARAM_POS_TYPE0=258", "PARAM_POS_TYPE0=258"},
        {"[EML]\nAUTO_FORMAT0=5", "AUTO_FORMAT0=5"},
    };
    for (const TCase& c : cases) {
        TTempDir dir;
        TTempDir::Write(dir.File("p.KFY"),
                        "[SYSTEM]\nVERSION=4\n[EML]\nPARAM=1\n" + c.lines + "\n");
        TSettingFile in(dir.File("p.KFY"));
        in.Read();
        ASSERT_EQ(in.GetRangeErrors().size(), 1u) << c.named;
        EXPECT_NE(Utf(in.GetRangeErrors()[0]).find(c.named), std::string::npos)
            << Utf(in.GetRangeErrors()[0]);
        EXPECT_EQ(in.GetCSVSaveParam().GetSaveType(), 0);
        EXPECT_EQ(in.GetParams()[0].GetRowType(), 1);
    }
    TTempDir dir;
    TTempDir::Write(dir.File("ok.KFY"),
                    "[EML]\nMAILTYPE=5\nPARAM=1\nAUTO_FORMAT0=10\n[CSV]\nSAVETYPE=1\n");
    TSettingFile ok(dir.File("ok.KFY"));
    ok.Read();
    EXPECT_TRUE(ok.GetRangeErrors().empty());
    EXPECT_TRUE(ok.HasProjectSection());
}

TEST(SettingFile, TellsAMailStoreFromAProject) {
    TTempDir dir;
    TTempDir::Write(dir.File("inbox.KFY"), "From a@b Thu Jun  5 10:05:09 2003\nSubject: x\n\nhi\n");
    TSettingFile in(dir.File("inbox.KFY"));
    in.Read();
    EXPECT_FALSE(in.HasProjectSection());
}
