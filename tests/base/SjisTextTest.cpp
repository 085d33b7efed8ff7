#include "base/SjisText.h"

#include <gtest/gtest.h>

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

TEST(SjisText, TrimControl) {
    EXPECT_EQ(sjis::TrimControl(" \t a b\r\n"), "a b");
    EXPECT_EQ(sjis::TrimControl("  "), "");
}
