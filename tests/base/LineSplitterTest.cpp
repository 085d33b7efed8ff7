#include "base/LineSplitter.h"

#include <gtest/gtest.h>

#include <random>

using Lines = std::vector<std::string>;

TEST(LineSplitter, BreaksAtCrLfAndCrLf) {
    EXPECT_EQ(TLineSplitter::Split("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    // Runs of one kind of break with the other far ahead or behind.
    EXPECT_EQ(TLineSplitter::Split("a\nb\nc\rd\r\ne\rf\ng"),
              (Lines{"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(TLineSplitter::Split("a\rb\r\rc\nd\n\r\ne"),
              (Lines{"a", "b", "", "c", "d", "", "e"}));
}

// Breaks are searched in blocks of bytes: lines of every length around a
// block's size, each break kind, 0 bytes read as data.
TEST(LineSplitter, BreaksFoundInLinesOfEveryLength) {
    for (std::size_t n = 1; n < 40; ++n) {
        const std::string a(n, 'a'), b(n, '\0'), c(n, 'c');
        const std::string text = a + "\r\n" + b + "\r" + c + "\n" + a;
        TLineSplitter s(text, TLineSplitter::TZeroByte::kIsData);
        Lines lines;
        std::string_view line;
        while (s.Next(line)) {
            lines.emplace_back(line);
        }
        EXPECT_EQ(lines, (Lines{a, b, c, a})) << n;
    }
}

// Cutting a whole text at once gives the lines Next gives, in every mode.
TEST(LineSplitter, AppendViewsGivesTheLinesOfNext) {
    std::mt19937 random(16);
    std::uniform_int_distribution<int> length(0, 70);
    std::uniform_int_distribution<int> pick(0, 5);
    for (int round = 0; round < 3000; ++round) {
        std::string text(static_cast<std::size_t>(length(random)), 'a');
        for (char& c : text) {
            c = "\r\n\0abc"[pick(random)];
        }
        for (const auto zero :
             {TLineSplitter::TZeroByte::kEndsText, TLineSplitter::TZeroByte::kIsData}) {
            std::vector<std::string_view> expected;
            TLineSplitter s(text, zero);
            std::string_view line;
            while (s.Next(line)) {
                expected.push_back(line);
            }
            std::vector<std::string_view> actual{"kept"};
            TLineSplitter::AppendViews(text, actual, zero);
            expected.insert(expected.begin(), "kept");
            ASSERT_EQ(actual, expected) << testing::PrintToString(text);
        }
    }
}

TEST(LineSplitter, FinalBreakStartsNoLine) {
    EXPECT_EQ(TLineSplitter::Split(""), Lines{});
    EXPECT_EQ(TLineSplitter::Split("a\r\n"), Lines{"a"});
    EXPECT_EQ(TLineSplitter::Split("a\r\n\r\n"), (Lines{"a", ""}));
    EXPECT_EQ(TLineSplitter::Split("\n"), Lines{""});
    EXPECT_EQ(TLineSplitter::Split("\n\r"), (Lines{"", ""}));  // LF then a lone CR
}

TEST(LineSplitter, NulByteEndsText) {
    EXPECT_EQ(TLineSplitter::Split(std::string("a\nb\0c\nd", 7)), (Lines{"a", "b"}));
}

TEST(LineSplitter, ReportsPositionOfNextLine) {
    TLineSplitter s("ab\r\ncd");
    std::string_view line;
    ASSERT_TRUE(s.Next(line));
    EXPECT_EQ(s.Position(), 4u);
}
