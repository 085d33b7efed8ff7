#include "codeconv/TCharCodeConv.h"

#include <gtest/gtest.h>

#include "TestText.h"

using namespace std::string_literals;

namespace {

struct TCase {
    std::string in;
    std::string out;
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << testing::PrintToString(c.in);
}

class B64Decode : public testing::TestWithParam<TCase> {};
TEST_P(B64Decode, Decodes) {
    EXPECT_EQ(TCharCodeConv::B64Decode(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cases, B64Decode,
                         testing::Values(TCase{"QUJD", "ABC"}, TCase{"QQ==", "A"}, TCase{"QUI", ""},
                                         TCase{"", ""},
                                         // An invalid byte takes a position: the groups shift.
                                         TCase{"QU JD", "A@\t"},
                                         // Zero bytes: the first of a group stays, later ones go.
                                         TCase{"AAAA", "\0"s}, TCase{"QQBB", "AA"},
                                         // Line breaks take positions too: bodies are joined first.
                                         TCase{"44GC\r\n44GE",
                                               "\xE3\x81\x82\0\x0E"
                                               "8"s}));

class DecodeWordBase64 : public testing::TestWithParam<TCase> {};
TEST_P(DecodeWordBase64, Decodes) {
    EXPECT_EQ(TCharCodeConv::DecodeWordBase64(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cases, DecodeWordBase64,
                         testing::Values(TCase{"QUI", "AB"}, TCase{"QU JD", "ABC"},
                                         TCase{"QQ==", "A"}, TCase{"Q", ""},
                                         TCase{"AAAA", "\0\0\0"s}, TCase{"", ""}));

class QPDecode : public testing::TestWithParam<TCase> {};
TEST_P(QPDecode, Decodes) {
    EXPECT_EQ(TCharCodeConv::QPDecode(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cases, QPDecode,
                         testing::Values(TCase{"abc=\r\ndef", "abcdef\r\n"}, TCase{"=41", "A\r\n"},
                                         TCase{"=4a", "=4a\r\n"}, TCase{"=00", "=00\r\n"},
                                         TCase{"", ""}, TCase{"a\r\n\r\nb\r\n", "a\r\n\r\nb\r\n"},
                                         TCase{"a\rb\nc", "a\r\nb\r\nc\r\n"},
                                         TCase{"x=4", "x=4\r\n"}, TCase{"x=", "x"},
                                         TCase{"=3D41", "=41\r\n"}, TCase{"=1B$B", "\x1B$B\r\n"},
                                         TCase{"=\r\n=\r\n", ""}));

class DecodeWordQ : public testing::TestWithParam<TCase> {};
TEST_P(DecodeWordQ, Decodes) {
    EXPECT_EQ(TCharCodeConv::DecodeWordQ(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cases, DecodeWordQ,
                         testing::Values(TCase{"a=41_b", "aA_b"}, TCase{"=00", "\0"s},
                                         TCase{"=4", "=4"}, TCase{"x=", "x="}, TCase{"=g1", "=g1"},
                                         TCase{"=3d", "=3d"}));

TEST(MimeToJis, DecodesIso2022JpWordsAndKeepsTheSpaceBetweenThem) {
    // ESC $B 0x30 0x21 ESC (B in B and Q form.
    EXPECT_EQ(
        TCharCodeConv::MimeToJis("=?ISO-2022-JP?B?GyRCMCEbKEI=?= =?iso-2022-jp?Q?=1B$B0!=1B(B?="),
        "\x1B$B0!\x1B(B \x1B$B0!\x1B(B");
}

TEST(MimeToJis, LeavesOtherCharsetsAlone) {
    const std::string v = "=?UTF-8?B?44GC?= =?koi8-r?Q?abc?=";
    EXPECT_EQ(TCharCodeConv::MimeToJis(v), v);
}

TEST(MimeToJis, DecodesAnUnclosedWordToTheEnd) {
    EXPECT_EQ(TCharCodeConv::MimeToJis("Re: =?ISO-2022-JP?B?QUJD"), "Re: ABC");
}

TEST(MimeToJis, TurnsEucJpWordsIntoJis) {
    // 0xB0 0xA1 is the EUC-JP form of JIS 0x30 0x21.
    EXPECT_EQ(TCharCodeConv::MimeToJis("=?EUC-JP?B?sKFh?="), "\x1B$B0!\x1B(Ja");
}

TEST(MimeToJis, DecodesShiftJisWordsToShiftJis) {
    EXPECT_EQ(TCharCodeConv::MimeToJis("=?Shift_JIS?Q?=88=9F?="), "\x88\x9F");
}

TEST(DecodeMimeWords, AnOtherLetterKeepsTheTextAndANewWordDropsAnUnclosedOne) {
    EXPECT_EQ(TCharCodeConv::DecodeMimeWords("=?x?Z?abc?=", "x"), "abc");
    EXPECT_EQ(TCharCodeConv::DecodeMimeWords("=?x?B?lost =?x?B?QUJD?=", "x"), "ABC");
    EXPECT_EQ(TCharCodeConv::DecodeMimeWords("=?x?", "x"), "=?x?");
}

class JisToSJis : public testing::TestWithParam<TCase> {};
TEST_P(JisToSJis, Converts) {
    EXPECT_EQ(TCharCodeConv::JisToSJis(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cases, JisToSJis,
                         testing::Values(TCase{"\x1B$B0!\x1B(B", "\x88\x9F"},
                                         TCase{"\x1B$@0!", "\x88\x9F"},
                                         TCase{"\x1B(I1\x1B(B", Sj("ア")},
                                         TCase{"\x0E"
                                               "1\x0F"
                                               "a",
                                               Sj("ア") + "a"},
                                         // SI returns to the mode before SO.
                                         TCase{"\x1B$B\x0E"
                                               "1\x0F"
                                               "0!",
                                               Sj("ア") + "\x88\x9F"},
                                         TCase{"\x1B$B0!\r\n0!", "\x88\x9F[0D0A]\x88\x9F"},
                                         TCase{"\x1B$B0", "0"},          // a lone last byte
                                         TCase{"\x1B$A0!", "\x1B$A0!"},  // unknown escapes are data
                                         TCase{"\x1B(Ia\x1B(B", "a"},    // outside the kana range
                                         TCase{"plain \x88\x9F", "plain \x88\x9F"}, TCase{"", ""}));

struct TPair {
    unsigned char c1, c2;
    std::string out;
};
class J2sj1 : public testing::TestWithParam<TPair> {};
TEST_P(J2sj1, Converts) {
    EXPECT_EQ(TCharCodeConv::j2sj1(GetParam().c1, GetParam().c2), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cases, J2sj1,
                         testing::Values(TPair{0x30, 0x21, "\x88\x9F"},  // 亜
                                         TPair{0x24, 0x22, "\x82\xA0"},  // あ
                                         TPair{0x21, 0x41, "\x81\x60"},  // 〜
                                         TPair{0x2D, 0x21, "\x87\x40"},  // ①
                                         TPair{0x5F, 0x21, "\xE0\x40"},
                                         TPair{0x5E, 0x7E, "\x9F\xFC"},
                                         TPair{0x7C, 0x7E, "\xEE\xFC"},
                                         TPair{0x21, 0x60, "\x81\x80"}, TPair{0x0D, 0x0A, "[0D0A]"},
                                         TPair{0x21, 0x80, "[2180]"}, TPair{0xA4, 0xA2, "[A4A2]"}));

TEST(KanaConv, MapsEveryHalfWidthKatakanaToItsFullWidthForm) {
    const std::string fullWidth =
        Sj("。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテト"
           "ナニヌネノハヒフヘホマミムメモヤユヨラリルレロワン゛゜");
    ASSERT_EQ(fullWidth.size(), 63u * 2);
    for (int b = 0xA1; b <= 0xDF; ++b) {
        EXPECT_EQ(TCharCodeConv::KanaConv(static_cast<unsigned char>(b)),
                  fullWidth.substr((b - 0xA1) * 2, 2))
            << b;
    }
    EXPECT_EQ(TCharCodeConv::KanaConv(0xA0), "");
    EXPECT_EQ(TCharCodeConv::KanaConv(0xE0), "");
}

class EucToJis : public testing::TestWithParam<TCase> {};
TEST_P(EucToJis, Converts) {
    EXPECT_EQ(TCharCodeConv::EucToJis(GetParam().in), GetParam().out);
}
INSTANTIATE_TEST_SUITE_P(Cases, EucToJis,
                         testing::Values(TCase{"\xB0\xA1\x61", "\x1B$B0!\x1B(Ja"},
                                         TCase{"a\xA4", "a"}, TCase{"\xB0\xA1", "\x1B$B0!\x1B(J"},
                                         TCase{"\x80x", "x"}, TCase{"", ""}));

}  // namespace
