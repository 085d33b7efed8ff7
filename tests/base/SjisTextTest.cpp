#include "base/SjisText.h"

#include <gtest/gtest.h>

#include <utility>

// "表" is 0x95 0x5C: its trail byte is the ASCII backslash.
static const std::string kHyo = "\x95\x5C";

TEST(SjisText, FindSkipsMatchesOnTrailBytes) {
    const std::string text = kHyo + "\\";
    EXPECT_EQ(sjis::Find(text, "\\"), 2u);
    EXPECT_EQ(sjis::Find(kHyo, "\\"), std::string_view::npos);
    EXPECT_EQ(sjis::Find("abcabc", "bc", 2), 4u);
    EXPECT_EQ(sjis::Find("abc", ""), 0u);
    EXPECT_EQ(sjis::Find("abc", "x", 9), std::string_view::npos);
}

TEST(SjisText, ValidityAndRepair) {
    EXPECT_TRUE(sjis::IsValid("abc" + kHyo + "\xB1"));  // half-width katakana is single-byte
    EXPECT_FALSE(sjis::IsValid("ab\x95"));              // cut at the end
    EXPECT_FALSE(sjis::IsValid("\x95\x20"));            // lead byte with an invalid trail
    EXPECT_EQ(sjis::Repair("ab\x95"), "ab?");
    EXPECT_EQ(sjis::Repair("\x95\x20" + kHyo), "? " + kHyo);
}

TEST(SjisText, UpperCaseLeavesTrailBytesAlone) {
    // "ア" (0x83 0x41) and "ヂ" (0x83 0x61): the 'a' is a trail byte.
    EXPECT_EQ(sjis::ToUpper("subject:\x83\x61"), "SUBJECT:\x83\x61");
}

TEST(SjisText, AsciiToUpperTouchesEveryByte) {
    // UTF-8 "ā" ends in 0x81, a Shift_JIS lead byte: the 'b' after it is
    // still upper-cased, and non-ASCII bytes are kept.
    EXPECT_EQ(sjis::AsciiToUpper("a\xC4\x81"
                                 "b\xE3\x81\x82z"),
              "A\xC4\x81"
              "B\xE3\x81\x82Z");
    EXPECT_EQ(sjis::AsciiToUpper(""), "");
}

TEST(SjisText, HexDigitValue) {
    const std::pair<char, int> cases[] = {{'0', 0},  {'9', 9},  {'a', 10}, {'f', 15},   {'A', 10},
                                          {'F', 15}, {'g', -1}, {'G', -1}, {'/', -1},   {':', -1},
                                          {'@', -1}, {'`', -1}, {' ', -1}, {'\xA1', -1}};
    for (const auto& [c, value] : cases) {
        EXPECT_EQ(sjis::HexDigitValue(c), value) << c;
    }
}

TEST(SjisText, TrimControl) {
    EXPECT_EQ(sjis::TrimControl(" \t a b\r\n"), "a b");
    EXPECT_EQ(sjis::TrimControl("  "), "");
}
