// Mail address and display name.
#include "params/TMailAddressExtractor.h"

#include <gtest/gtest.h>

#include "TestText.h"

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
        TAddressCase{"NoAddress", Sj("住所なし"), "", ""}, TAddressCase{"Empty", "", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MailAddressText, DoubleByteTextAroundTheAddress) {
    const std::string text = Sj("連絡先：ｔａｒｏ　taro@example.jp　まで");
    EXPECT_EQ(TMailAddressExtractor::ExtractMailAddress(text), "taro@example.jp");
}

}  // namespace
