#include "base/LineSplitter.h"

#include <gtest/gtest.h>

using Lines = std::vector<std::string>;

TEST(LineSplitter, BreaksAtCrLfAndCrLf) {
    EXPECT_EQ(TLineSplitter::Split("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
    // Runs of one kind of break with the other far ahead or behind.
    EXPECT_EQ(TLineSplitter::Split("a\nb\nc\rd\r\ne\rf\ng"),
              (Lines{"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(TLineSplitter::Split("a\rb\r\rc\nd\n\r\ne"),
              (Lines{"a", "b", "", "c", "d", "", "e"}));
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
