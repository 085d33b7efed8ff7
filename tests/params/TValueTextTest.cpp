// Trimming and wrapping of values with double-byte text.
#include "params/TValueText.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

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
    EXPECT_EQ(TValueText::WrapLine(line + "a", 10), std::string(9, 'a') +
                                                        "\r\n\x82"
                                                        "a");
}

// Every piece keeps whole characters and is width bytes long, or one less
// where a double-byte character moved on; joined again they give the line.
TEST(WrapLine, PiecesOfMixedTextKeepEveryCharacterWhole) {
    const std::string chars[] = {"a", Sj("あ"), "\x82", Sj("ソ"), " ", Sj("ｱ")};
    std::uint32_t seed = 12345;
    for (int round = 0; round < 300; ++round) {
        std::string line;
        std::vector<bool> starts;  // character starts of `line`
        const int count = static_cast<int>(seed % 60);
        for (int i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            const std::string& c = chars[(seed >> 16) % std::size(chars)];
            if (c == "\x82" && i + 1 < count) {
                continue;  // a lone lead byte only at the very end
            }
            starts.resize(line.size() + c.size(), false);
            starts[line.size()] = true;
            line += c;
        }
        const int width = 10 + round % 7;
        const std::string wrapped = TValueText::WrapLine(line, width);
        std::string joined;
        std::size_t pos = 0;
        for (std::size_t at = 0;; at = wrapped.find("\r\n", at) + 2) {
            const std::size_t next = wrapped.find("\r\n", at);
            const std::string piece = wrapped.substr(at, next - at);
            ASSERT_TRUE(pos >= line.size() || starts[pos]) << round;
            ASSERT_LE(piece.size(), static_cast<std::size_t>(width)) << round;
            if (next == std::string::npos) {
                joined += piece;
                break;
            }
            ASSERT_GE(piece.size(), static_cast<std::size_t>(width - 1)) << round;
            joined += piece;
            pos += piece.size();
        }
        ASSERT_EQ(joined, line) << round;
    }
}

TEST(StripTrailingLineBreaks, RemovesOnlyCrLfPairs) {
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("a\r\n\r\n"), "a");
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("a\n"), "a\n");
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("a\r\n\r"), "a\r\n\r");
    EXPECT_EQ(TValueText::StripTrailingLineBreaks("\r\n"), "");
}

}  // namespace
