// Mail address and display name.
#include "params/TMailAddressExtractor.h"

#include <gtest/gtest.h>

#include "TestText.h"
#include "regex/TJre.h"

namespace {

struct TAddressCase {
    const char* name;
    std::string text;
    std::string address;
    std::string displayName;
};

class MailAddress : public testing::TestWithParam<TAddressCase> {};

TEST_P(MailAddress, AddressAndName) {
    const TAddressCase& c = GetParam();
    EXPECT_EQ(TMailAddressExtractor::ExtractMailAddress(c.text), c.address);
    EXPECT_EQ(TMailAddressExtractor::ExtractMailName(c.text), c.displayName);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailAddress,
    testing::Values(
        TAddressCase{"QuotedName", Sj("\"山田 太郎\" <taro@example.co.jp>"), "taro@example.co.jp",
                     Sj("山田 太郎")},
        TAddressCase{"PlainName", Sj("山田太郎 <taro@example.jp>"), "taro@example.jp",
                     Sj("山田太郎")},
        TAddressCase{"NameInParentheses", Sj("taro@example.jp (山田)"), "taro@example.jp",
                     Sj("山田")},
        TAddressCase{"AddressAlone", "taro@example.jp", "taro@example.jp", ""},
        TAddressCase{"AngleBracketsAlone", "<taro@example.jp>", "taro@example.jp", ""},
        TAddressCase{"EmptyQuotedName", "\"\" <a@b.jp>", "a@b.jp", ""},
        TAddressCase{"SymbolsOfTheLocalPart", "'<k+tag.a_b-c@mail.example.jp>'",
                     "k+tag.a_b-c@mail.example.jp", "'"},
        TAddressCase{"FirstLineWithAnAddressWins", "no address\r\nsecond@a.jp\r\nthird@b.jp",
                     "second@a.jp", "no address"},
        TAddressCase{"DomainMustStartAlphanumeric", "a@-b.jp c@d.jp", "c@d.jp", "a@-b.jp"},
        TAddressCase{"BrokenLeadByteJoinsTheLocalPart", "x \x82!taro@x.jp", "\x82!taro@x.jp", "x"},
        TAddressCase{"AtByteInsideFullWidthSpaceOnly", Sj("　　ａ＠ｂ"), "", ""},
        TAddressCase{"NoAddress", Sj("住所なし"), "", ""}, TAddressCase{"Empty", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct THeaderCase {
    std::string text;
    std::string address;
    std::string displayName;
};

class HeaderAddress : public testing::TestWithParam<THeaderCase> {};

// Header values whose address has no domain used to give empty cells.
TEST_P(HeaderAddress, AddressAsWrittenAndName) {
    const THeaderCase& c = GetParam();
    EXPECT_EQ(TMailAddressExtractor::HeaderAddressView(c.text), c.address);
    EXPECT_EQ(TMailAddressExtractor::HeaderNameView(c.text), c.displayName);
}

INSTANTIATE_TEST_SUITE_P(Cases, HeaderAddress,
                         testing::Values(THeaderCase{"Mail Delivery Subsystem <MAILER-DAEMON>",
                                                     "MAILER-DAEMON", "Mail Delivery Subsystem"},
                                         THeaderCase{"\"Bounce\" <>", "", "Bounce"},
                                         THeaderCase{"<postmaster>", "postmaster", ""},
                                         THeaderCase{"a <b c> <x@y.jp>", "x@y.jp", "a <b c>"},
                                         THeaderCase{"Name <x@y.jp>", "x@y.jp", "Name"},
                                         THeaderCase{"no address", "", ""}));

TEST(MailAddressText, DoubleByteTextAroundTheAddress) {
    const std::string text = Sj("連絡先：ｔａｒｏ　taro@example.jp　まで");
    EXPECT_EQ(TMailAddressExtractor::ExtractMailAddress(text), "taro@example.jp");
}

// The address must be exactly the engine's leftmost match of the pattern on
// the first line that has one, whatever the bytes around it.
TEST(MailAddressText, AgreesWithAPlainSearchOfEveryLine) {
    const std::string pieces[] = {"a",    "@",     "b.jp", " ",    "<",      "!",      "-",
                                  "\x82", "\x81@", "\xFC", "\xA6", Sj("　"), Sj("山"), ".",
                                  "_x",   "@@",    "9",    "?%",   "\xE0"};
    const std::size_t n = std::size(pieces);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < n; ++j) {
            for (std::size_t k = 0; k < n; ++k) {
                for (std::size_t m = 0; m < n; ++m) {
                    const std::string line = pieces[i] + pieces[j] + pieces[k] + pieces[m];
                    const std::string expected = TJre::Instance().Match(
                        std::string(TMailAddressExtractor::kAddressPattern), line);
                    ASSERT_EQ(TMailAddressExtractor::ExtractMailAddress(line), expected)
                        << testing::PrintToString(line);
                }
            }
        }
    }
}

}  // namespace
