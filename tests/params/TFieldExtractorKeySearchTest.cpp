// Where values are found: header lookup, key search order and key matching.
#include <gtest/gtest.h>

#include "TFakeMail.h"
#include "TParamMaker.h"
#include "TestText.h"
#include "params/TFieldExtractor.h"

namespace {

using Params = std::vector<TOrderedParamString>;

TValueMap Body(const TLines& lines, const Params& params) {
    return TFieldExtractor::ExtractValues(TFakeMail(lines), {}, params);
}

TOrderedParamString NextLineParam(int fieldOrder, const std::string& key) {
    TOrderedParamString p = BodyParam(fieldOrder, key);
    p.SetStartLine(false);
    return p;
}

TOrderedParamString RegexParam(int fieldOrder, const std::string& key) {
    TOrderedParamString p = BodyParam(fieldOrder, key);
    p.SetRegExt(true);
    return p;
}

TEST(KeySearch, KeyOnFirstLineGivesTrimmedRest) {
    const auto v = Body({Sj("お名前：\t山田 太郎  "), "x"}, {BodyParam(0, Sj("お名前："))});
    EXPECT_EQ(v.at(0), Sj("山田 太郎"));
}

TEST(KeySearch, KeyMustBeginTheLineWithTheSameCase) {
    const auto v = Body({" Name: a", "name: b", "Name:c"}, {BodyParam(0, "Name:")});
    EXPECT_EQ(v.at(0), "c");
}

TEST(KeySearch, NextLineValueIsTheWholeFollowingLine) {
    const auto v = Body({"Name:", "  Taro  ", "x"}, {NextLineParam(0, "Name:")});
    EXPECT_EQ(v.at(0), "  Taro  ");
}

TEST(KeySearch, NextLineValueIsNeverTheNextKeyLine) {
    const auto v =
        Body({"A:", "B: hidden", "B: seen"}, {NextLineParam(0, "A:"), BodyParam(1, "B:")});
    EXPECT_EQ(v.at(0), "B: hidden");
    EXPECT_EQ(v.at(1), "seen");
}

TEST(KeySearch, NextLineValueOnTheLastLineIsEmpty) {
    const auto v = Body({"x", "A:"}, {NextLineParam(0, "A:")});
    EXPECT_EQ(v.at(0), "");
}

TEST(KeySearch, LaterKeyAboveAnEarlierKeyLineIsNotFound) {
    const auto v = Body({"B: above", "C: above", "A: a", "C: below"},
                        {BodyParam(0, "A:"), BodyParam(1, "B:"), BodyParam(2, "C:")});
    EXPECT_EQ(v.at(0), "a");
    EXPECT_EQ(v.at(1), "");
    // The lost B does not move the search: C is looked for below A.
    EXPECT_EQ(v.at(2), "below");
}

TEST(KeySearch, ParametersAreSearchedInListOrder) {
    const auto v = Body({"B: b", "A: a"}, {BodyParam(0, "A:"), BodyParam(1, "B:")});
    EXPECT_EQ(v.at(0), "a");
    EXPECT_EQ(v.at(1), "");
}

TEST(KeySearch, OneLineHoldsAtMostOneKey) {
    const auto v = Body({"K 1", "K 2"}, {BodyParam(0, "K"), BodyParam(1, "K")});
    EXPECT_EQ(v.at(0), "1");
    EXPECT_EQ(v.at(1), "2");
}

TEST(KeySearch, ValuesAreKeyedByFieldOrder) {
    const auto v = Body({"A: a", "B: b"}, {BodyParam(7, "A:"), BodyParam(3, "B:")});
    ASSERT_EQ(v.size(), 2u);
    EXPECT_EQ(v.begin()->first, 3);
    EXPECT_EQ(v.at(7), "a");
}

TEST(KeySearch, RegexKeyGivesUntrimmedRestAfterTheMatch) {
    const auto v = Body({"xx", Sj("受付番号 No.123 ： 済 ")}, {RegexParam(0, "No\\.\\d+")});
    EXPECT_EQ(v.at(0), Sj(" ： 済 "));
}

TEST(KeySearch, RegexRestFollowsTheFirstOccurrenceOfTheMatchedText) {
    // The match is the second "ab"; the rest starts after the first one.
    const auto v = Body({"ab-xab-tail"}, {RegexParam(0, "(?<=x)ab")});
    EXPECT_EQ(v.at(0), "-xab-tail");
}

TEST(KeySearch, CaretKeyTakesEveryLineWhole) {
    const auto v = Body({"  first ", "second"}, {RegexParam(0, "^"), RegexParam(1, "^")});
    EXPECT_EQ(v.at(0), "  first ");
    EXPECT_EQ(v.at(1), "second");
}

TEST(KeySearch, RegexKeyWithEmptyMatchIsNotFound) {
    const auto v = Body({"abc"}, {RegexParam(0, "z*")});
    EXPECT_EQ(v.at(0), "");
}

TEST(KeySearch, UncompilableRegexKeyIsNotFound) {
    const auto v = Body({"(abc"}, {RegexParam(0, "(abc"), BodyParam(1, "(abc")});
    EXPECT_EQ(v.at(0), "");
    EXPECT_EQ(v.at(1), "");
}

TEST(KeySearch, DoubleByteKeyRest) {
    const auto v = Body({Sj("【商品名】　りんご　")}, {BodyParam(0, Sj("【商品名】"))});
    // A plain key's rest loses only bytes <= 0x20, not full-width spaces.
    EXPECT_EQ(v.at(0), Sj("　りんご　"));
}

TEST(HeaderValues, KeyIsLookedUpUpperCased) {
    TFakeMail mail;
    mail.AddHeader("SUBJECT:", Sj("件名"));
    const auto v = TFieldExtractor::ExtractValues(mail, {HeaderParam(0, "subject:")}, {});
    EXPECT_EQ(v.at(0), Sj("件名"));
}

TEST(HeaderValues, RepeatedHeadersJoinWithLineBreaks) {
    TFakeMail mail;
    mail.AddHeader("RECEIVED:", "from a").AddHeader("RECEIVED:", "from b");
    const auto v = TFieldExtractor::ExtractValues(
        mail, {HeaderParam(0, "Received:"), HeaderParam(1, "X-None:")}, {});
    EXPECT_EQ(v.at(0), "from a\r\nfrom b");
    EXPECT_EQ(v.at(1), "");
}

TEST(HeaderValues, DateIsNormalised) {
    TFakeMail mail;
    mail.AddHeader("DATE:", "Thu, 05 Jun 2003 01:05:09 +0000");
    const auto v = TFieldExtractor::ExtractValues(mail, {HeaderParam(0, "date:")}, {});
    EXPECT_EQ(v.at(0), "2003/6/5 10:05:09");
}

TEST(HeaderValues, AddressAndNameOptions) {
    TFakeMail mail;
    mail.AddHeader("FROM:", Sj("\"山田 太郎\" <taro@example.jp>"));
    TOrderedParamString address = HeaderParam(0, "From:");
    address.SetMailAddress(true);
    TOrderedParamString name = HeaderParam(1, "From:");
    name.SetMailName(true);
    const auto v = TFieldExtractor::ExtractValues(mail, {address, name}, {});
    EXPECT_EQ(v.at(0), "taro@example.jp");
    EXPECT_EQ(v.at(1), Sj("山田 太郎"));
}

TEST(HeaderValues, BodyOptionsHaveNoEffect) {
    TFakeMail mail({"Subject: body line"});
    mail.AddHeader("SUBJECT:", "  0123456789abcdef ; x  ");
    TOrderedParamString p = HeaderParam(0, "Subject:");
    p.SetTrim(true);
    p.SetAutoFormat(10);
    p.SetEndStr(";");
    p.SetRowType(TOrderedParamString::RowMulti);
    const auto v = TFieldExtractor::ExtractValues(mail, {p}, {});
    EXPECT_EQ(v.at(0), "  0123456789abcdef ; x  ");
}

}  // namespace
