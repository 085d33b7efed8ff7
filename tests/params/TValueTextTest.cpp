// Trimming and wrapping of values with double-byte text.
#include "params/TValueText.h"

#include <gtest/gtest.h>

#include "TestText.h"

namespace {

struct TTextCase {
    const char* name;
    std::string input;
    std::string expected;
};

std::string CaseName(const testing::TestParamInfo<TTextCase>& info) {
    return info.param.name;
}

class TrimAll : public testing::TestWithParam<TTextCase> {};

TEST_P(TrimAll, RemovesBlanksTabsAndFullWidthSpacesAtBothEnds) {
    EXPECT_EQ(TValueText::TrimAll(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TrimAll,
    testing::Values(TTextCase{"Mixed", Sj("　 abc 　"), "abc"},
                    TTextCase{"LineBreakEndsStay", "abc\r\n", "abc\r\n"},
                    TTextCase{"BlankTakesControlBytesAlong", " \r\nabc\r\n ", "abc"},
                    TTextCase{"TabAtEndOnly", "x \t", "x"},
                    TTextCase{"FullWidthSpacesOnly", Sj("　　　"), ""},
                    TTextCase{"InnerSpacesStay", Sj("　山田　太郎　"), Sj("山田　太郎")},
                    // 0x81 0x40 as the tail of "ー" (0x81 0x5B 0x81 0x40) is a
                    // real full-width space; "　" hidden inside a character is not.
                    TTextCase{"EndsOnDoubleByte", Sj("ーー　"), Sj("ーー")},
                    TTextCase{"TrailByteThatLooksLikeLead", std::string("\x81\x81\x81\x40", 4),
                              std::string("\x81\x81", 2)},
                    TTextCase{"LoneLeadByteAtEnd", std::string("ab \x81", 4),
                              std::string("ab \x81", 4)},
                    TTextCase{"Empty", "", ""}),
    CaseName);

struct TWrapCase {
    const char* name;
    std::string input;
    int width;
    std::string expected;
};

class WrapText : public testing::TestWithParam<TWrapCase> {};

TEST_P(WrapText, WrapsEveryLineWithoutSplittingCharacters) {
    EXPECT_EQ(TValueText::WrapText(GetParam().input, GetParam().width), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WrapText,
    testing::Values(
        TWrapCase{"SingleByte", std::string(25, 'a'), 10, "aaaaaaaaaa\r\naaaaaaaaaa\r\naaaaa"},
        TWrapCase{"ExactWidth", std::string(20, 'a'), 10, "aaaaaaaaaa\r\naaaaaaaaaa"},
        TWrapCase{"DoubleByteOnTheEdgeMovesOn", "123456789" + Sj("あ") + "abcdefghijklmn", 10,
                  "123456789\r\n" + Sj("あ") + "abcdefgh\r\nijklmn"},
        TWrapCase{"AllDoubleByte", Sj("あいうえおかきくけこさ"), 10,
                  Sj("あいうえお\r\nかきくけこ\r\nさ")},
        TWrapCase{"OddWidthDoubleByte", Sj("あいうえおかきく"), 11, Sj("あいうえお\r\nかきく")},
        TWrapCase{"EachLineOnItsOwn", "aaaaaaaaaaaa\nbb\r\ncc\rdddddddddddd", 10,
                  "aaaaaaaaaa\r\naa\r\nbb\r\ncc\r\ndddddddddd\r\ndd"},
        TWrapCase{"EmptyInnerLinesStay", "a\r\n\r\nb", 10, "a\r\n\r\nb"},
        TWrapCase{"TrailingBreaksGo", "a\r\n\r\n\n", 10, "a"}, TWrapCase{"Empty", "", 10, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WrapLine, ShortLineIsUnchangedAndTinyWidthsDoNotLoop) {
    EXPECT_EQ(TValueText::WrapLine("abc", 3), "abc");
    EXPECT_EQ(TValueText::WrapLine(Sj("あいう"), 1), Sj("あいう"));
    EXPECT_EQ(TValueText::WrapLine(Sj("あいう"), 2), Sj("あ\r\nい\r\nう"));
    EXPECT_EQ(TValueText::WrapLine(Sj("aあいう"), 2), Sj("a\r\nあ\r\nい\r\nう"));
}

TEST(WrapLine, LeadByteAtTheEndIsKept) {
    const std::string line = std::string(9, 'a') + "\x82";
    EXPECT_EQ(TValueText::WrapLine(line, 9), std::string(9, 'a') + "\r\n\x82");
    EXPECT_EQ(TValueText::WrapLine(line + "a", 10), std::string(9, 'a') + "\r\n\x82" "a");
}

TEST(StripTrailingLineBreaks, RemovesOnlyCrLfPairs) {
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("a\r\n\r\n"), "a");
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("a\n"), "a\n");
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("a\r\n\r"), "a\r\n\r");
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("\r\n"), "");
}

}  // namespace
