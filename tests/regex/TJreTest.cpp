#include "regex/TJre.h"

#include <gtest/gtest.h>

#include "TestText.h"

namespace {

// Switches the engine off for one test and back on afterwards, even when
// the test fails.
class TEngineOff {
  public:
    TEngineOff() { TJre::SetAvailableForTesting(false); }
    ~TEngineOff() { TJre::SetAvailableForTesting(true); }
};

TEST(TJreSearch, GivesLeftmostMatchAsBytePositionAndLength) {
    const std::string text = Sj("お名前：山田 太郎 様");
    const auto match = TJre::Instance().Search(Sj("山田\\s*\\S+"), text);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->position, Sj("お名前：").size());
    EXPECT_EQ(text.substr(match->position, match->length), Sj("山田 太郎"));
}

TEST(TJreSearch, NeverMatchesInsideADoubleByteCharacter) {
    // The second byte of "ソ" is 0x5C, a backslash in single-byte text.
    const std::string so = Sj("ソ");
    ASSERT_EQ(so[1], '\\');
    EXPECT_FALSE(TJre::Instance().Search("\\\\", so));
    EXPECT_EQ(TJre::Instance().Match("\\\\", so + "\\"), "\\");
    EXPECT_EQ(TJre::Instance().Match(Sj("[ァ-ン]+"), Sj("abcソフトdef")), Sj("ソフト"));
}

TEST(TJreSearch, EmptyTextOrNoMatchGivesNothing) {
    EXPECT_FALSE(TJre::Instance().Search("a*", ""));
    EXPECT_FALSE(TJre::Instance().Search("xyz", "abc"));
    EXPECT_EQ(TJre::Instance().Match("xyz", "abc"), "");
}

TEST(TJreSearch, AnEmptyLeftmostMatchIsReportedAsSuch) {
    const auto match = TJre::Instance().Search("b*", "abc");
    ASSERT_TRUE(match);
    EXPECT_EQ(match->position, 0u);
    EXPECT_EQ(match->length, 0u);
    EXPECT_EQ(TJre::Instance().Match("b*", "abc"), "");
}

TEST(TJreSearch, UsesPerlSyntax) {
    EXPECT_EQ(TJre::Instance().Match("(?<=No\\.)\\d+", "No.123"), "123");
    EXPECT_EQ(TJre::Instance().Match("(?i)subject", "SUBJECT:"), "SUBJECT");
}

TEST(TJreSearch, RunawayBacktrackingRaisesWithTheEngineMessage) {
    const std::string text = std::string(40, 'a') + "!";
    try {
        TJre::Instance().Search("(a|aa)+$", text);
        FAIL() << "no exception";
    } catch (const TJreException& e) {
        EXPECT_NE(std::string(e.what()).find("retry-limit"), std::string::npos) << e.what();
    }
}

TEST(TJreCompile, ReportsSyntaxErrorsWithTheEngineMessage) {
    std::string error;
    EXPECT_FALSE(TJre::Instance().Compile("(abc", &error));
    EXPECT_EQ(error, "end pattern with unmatched parenthesis");
    EXPECT_TRUE(TJre::Instance().Compile("abc", &error));
    EXPECT_EQ(error, "");
}

TEST(TJreCompile, RefusesEmptyAndBrokenPatterns) {
    std::string error;
    EXPECT_FALSE(TJre::Instance().Compile("", &error));
    EXPECT_FALSE(error.empty());
    const std::string brokenLead = std::string("a\x82", 2);
    EXPECT_FALSE(TJre::Instance().Compile(brokenLead, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(TJre::Instance().Search(brokenLead, "a\x82\xA0"));
}

TEST(TJreCompile, CompilesEachPatternOnce) {
    const std::size_t before = TJre::Instance().CachedPatternCount();
    for (int i = 0; i < 100; ++i) {
        TJre::Instance().Search("once[0-9]+", "x once42 y");
        TJre::Instance().Compile("(once", nullptr);
    }
    EXPECT_EQ(TJre::Instance().CachedPatternCount(), before + 2);
}

TEST(TJreAvailability, AbsentEngineNeverMatches) {
    TEngineOff off;
    EXPECT_FALSE(TJre::IsAvailable());
    EXPECT_FALSE(TJre::Instance().Search("a", "abc"));
    EXPECT_EQ(TJre::Instance().Match("a", "abc"), "");
}

// Damaged mail text: cut double-byte characters and stray lead bytes.
struct TDamagedCase {
    const char* name;
    std::string text;
    std::string pattern;
    std::size_t position;
    std::size_t length;
};

class TJreDamagedText : public testing::TestWithParam<TDamagedCase> {};

TEST_P(TJreDamagedText, IsSearchedWithOffsetsOfTheOriginal) {
    const TDamagedCase& c = GetParam();
    const auto match = TJre::Instance().Search(c.pattern, c.text);
    ASSERT_TRUE(match);
    EXPECT_EQ(match->position, c.position);
    EXPECT_EQ(match->length, c.length);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TJreDamagedText,
    testing::Values(TDamagedCase{"LeadByteAtEnd", std::string("abc\x82", 4), "c", 2, 1},
                    TDamagedCase{"LeadByteBeforeAscii",
                                 std::string("\x88\x0D"
                                             "abc",
                                             5),
                                 "b", 3, 1},
                    TDamagedCase{"CutCharacterBeforeKana", std::string("x\x82\x82\xA0y", 5), "y", 4,
                                 1},
                    TDamagedCase{"PatternAfterStrayLead",
                                 std::string("\xE0"
                                             "@\x81\x40z",
                                             5),
                                 "z", 4, 1},
                    TDamagedCase{"BrokenByteIsOneCharacter", std::string("ab\xFC", 3), ".+", 0, 3}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TJreDamagedText, BrokenByteIsNotTakenForPartOfAMatch) {
    // 0x82 followed by a control byte is no character; the search must not
    // swallow the following byte as its second half.
    const std::string text("\x82\x0A", 2);
    EXPECT_EQ(TJre::Instance().Match("\\n", text), "\n");
}

}  // namespace
