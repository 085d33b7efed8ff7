#include "codeconv/TSjisUnicode.h"

#include <gtest/gtest.h>

#include <random>

#include "codeconv/TIconv.h"

TEST(SjisUnicode, RoundTripsJapanese) {
    const std::string sjis = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語
    EXPECT_EQ(TSjisUnicode::ToUtf8(sjis), "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E");
    EXPECT_EQ(TSjisUnicode::FromUtf8(TSjisUnicode::ToUtf8(sjis)), sjis);
}

TEST(SjisUnicode, UnrepresentableBecomesOneQuestionMark) {
    EXPECT_EQ(TSjisUnicode::FromUtf8("a\xF0\x9F\x98\x80"
                                     "b"),
              "a?b");                                // emoji
    EXPECT_EQ(TSjisUnicode::ToUtf8("a\x95"), "a?");  // cut double-byte
}

TEST(SjisUnicode, PathsAreUtf8OnDisk) {
    const std::string folder = "\x83\x81\x81\x5B\x83\x8B";  // メール
    EXPECT_EQ(TSjisUnicode::ToPath(folder).string(), "\xE3\x83\xA1\xE3\x83\xBC\xE3\x83\xAB");
    EXPECT_EQ(TSjisUnicode::FromPath(TSjisUnicode::ToPath(folder)), folder);
}

TEST(SjisUnicode, TableConversionAgreesWithIconvOnRandomBytes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        std::string text(1 + rng() % 64, '\0');
        for (char& c : text) {
            c = static_cast<char>(0x20 + rng() % 0xE0);
        }
        std::string expected;
        TIconv::ForThread("UTF-8", "CP932").Convert(text, expected, &TIconv::SkipSjis);
        ASSERT_EQ(TSjisUnicode::ToUtf8(text), expected) << round;
    }
}
