#include "codeconv/TCharCodeConv.h"

#include <gtest/gtest.h>

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

}  // namespace
