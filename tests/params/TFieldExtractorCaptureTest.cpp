// How values are taken: multi-line capture, end strings and the finishing
// options of body values.
#include <gtest/gtest.h>

#include <array>

#include "TFakeMail.h"
#include "TParamMaker.h"
#include "TestText.h"
#include "params/TFieldExtractor.h"
#include "regex/TJre.h"

namespace {

using Params = std::vector<TOrderedParamString>;

TValueMap Body(const TLines& lines, const Params& params) {
    return TFieldExtractor::ExtractValues(TFakeMail(lines), {}, params);
}

const TLines kInquiry = {
    Sj("お問い合わせ内容:"), Sj("一行目"), "", Sj("三行目"), "", "", "-- ", Sj("署名"),
};

TEST(Capture, RunsToTheEndStringWithoutLeadingOrTrailingBreaks) {
    const auto v = Body(kInquiry, {MultiParam(0, Sj("お問い合わせ内容:"), "--")});
    EXPECT_EQ(v.at(0), Sj("一行目\r\n\r\n三行目"));
}

TEST(Capture, OneLineJoinsWithoutBreaks) {
    TOrderedParamString p = MultiParam(0, Sj("お問い合わせ内容:"), "--");
    p.SetOneLine(true);
    const auto v = Body(kInquiry, {p});
    EXPECT_EQ(v.at(0), Sj("一行目三行目"));
}

TEST(Capture, StartingOnTheKeyLineKeepsItsRest) {
    TOrderedParamString p = MultiParam(0, "Note:", "");
    p.SetStartLine(true);
    const auto v = Body({"Note: first", "second", "", ""}, {p});
    EXPECT_EQ(v.at(0), "first\r\nsecond");
}

TEST(Capture, WithoutEndStringRunsToTheEndAndBlocksNothing) {
    const auto v = Body({"A:", "a1", "B: b", "a2"}, {MultiParam(0, "A:", ""), BodyParam(1, "B:")});
    // No end string: the next key line ends the capture.
    EXPECT_EQ(v.at(0), "a1");
    EXPECT_EQ(v.at(1), "b");
}

TEST(Capture, MissingEndStringHidesEveryLaterKey) {
    const auto v =
        Body({"A:", "a1", "B: b", "a2"}, {MultiParam(0, "A:", "=="), BodyParam(1, "B:")});
    EXPECT_EQ(v.at(0), "a1\r\nB: b\r\na2");
    EXPECT_EQ(v.at(1), "");
}

TEST(Capture, EndLineCanBeTheNextKeyLine) {
    const auto v =
        Body({"A:", "a1", "B: b", "a2"}, {MultiParam(0, "A:", "B:"), BodyParam(1, "B:")});
    EXPECT_EQ(v.at(0), "a1");
    EXPECT_EQ(v.at(1), "b");
}

TEST(Capture, KeysBeforeThePendingEndAreNotFound) {
    const auto v =
        Body({"A:", "B: early", "--", "B: late"}, {MultiParam(0, "A:", "--"), BodyParam(1, "B:")});
    EXPECT_EQ(v.at(0), "B: early");
    EXPECT_EQ(v.at(1), "late");
}

TEST(Capture, RegexEndString) {
    TOrderedParamString p = MultiParam(0, "A:", "^-{3,}$");
    p.SetEndStrRegExp(true);
    const auto v = Body({"A:", "x -- y", "--", "---", "z"}, {p});
    EXPECT_EQ(v.at(0), "x -- y\r\n--");
}

TEST(Capture, TrimCleansEveryTakenLine) {
    TOrderedParamString p = MultiParam(0, "A:", "");
    p.SetTrim(true);
    const auto v = Body({"A:", Sj("　 一 　"), "\t two\t"}, {p});
    EXPECT_EQ(v.at(0), Sj("一\r\ntwo"));
}

TEST(Capture, AutoFormatWrapsTheValue) {
    TOrderedParamString p = MultiParam(0, "A:", "");
    p.SetAutoFormat(10);
    const auto v = Body({"A:", std::string(25, 'x'), "short"}, {p});
    EXPECT_EQ(v.at(0), "xxxxxxxxxx\r\nxxxxxxxxxx\r\nxxxxx\r\nshort");
}

TEST(Capture, MailAddressButNotMailNameAppliesToBody) {
    TOrderedParamString address = BodyParam(0, "From:");
    address.SetMailAddress(true);
    TOrderedParamString name = BodyParam(1, "Reply:");
    name.SetMailName(true);
    const auto v =
        Body({"From: Taro <taro@example.jp>", "Reply: Jiro <jiro@example.jp>"}, {address, name});
    EXPECT_EQ(v.at(0), "taro@example.jp");
    EXPECT_EQ(v.at(1), "Jiro <jiro@example.jp>");
}

TEST(Capture, MailAddressWithoutAnyAddressIsEmpty) {
    TOrderedParamString p = BodyParam(0, "From:");
    p.SetMailAddress(true);
    EXPECT_EQ(Body({"From: nobody"}, {p}).at(0), "");
}

TEST(Capture, SearchErrorFailsTheMail) {
    TOrderedParamString p = BodyParam(0, "(a|aa)+$");
    p.SetRegExt(true);
    EXPECT_THROW(Body({std::string(40, 'a') + "!"}, {p}), TJreException);
}

// One-line values cut at their end string.
struct TCutCase {
    const char* name;
    std::string value;
    std::string endStr;
    bool regex;
    std::string expected;
};

class CutAtEndString : public testing::TestWithParam<TCutCase> {};

TEST_P(CutAtEndString, CutsOneLineBodyValues) {
    const TCutCase& c = GetParam();
    TOrderedParamString p = BodyParam(0, "K:");
    p.SetEndStr(c.endStr);
    p.SetEndStrRegExp(c.regex);
    EXPECT_EQ(TFieldExtractor::CutAtEndString(p, c.value), c.expected);
    // The same through extraction of a key line.
    EXPECT_EQ(Body({"K:" + c.value}, {p}).at(0), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CutAtEndString,
    testing::Values(TCutCase{"PlainCutsAtLastOccurrence", "abc;def;ghi", ";", false, "abc;def"},
                    TCutCase{"RegexCutsAtFirstMatch", "abc;def;ghi", ";", true, "abc"},
                    TCutCase{"PlainWithoutOccurrence", "abc", ";", false, "abc"},
                    TCutCase{"RegexWithoutMatch", "abc", "\\d+", true, "abc"},
                    TCutCase{"RegexEmptyMatchDoesNotCut", "abc", "x*", true, "abc"},
                    TCutCase{"OverlappingEndString", "a--b---c", "--", false, "a--b-"},
                    // "ソ" ends in the byte of a backslash; only the real one counts.
                    TCutCase{"NeverInsideDoubleByte", Sj("ソa\\bソ"), "\\", false, Sj("ソa")},
                    TCutCase{"DoubleByteEndString", Sj("金額：千円（税込）"), Sj("（"), false,
                             Sj("金額：千円")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CutAtEndStringScope, MultiLineAndHeaderValuesStayWhole) {
    TOrderedParamString multi = MultiParam(0, "K:", ";");
    EXPECT_EQ(TFieldExtractor::CutAtEndString(multi, "a;b"), "a;b");
    TOrderedParamString header = HeaderParam(0, "K:");
    header.SetEndStr(";");
    EXPECT_EQ(TFieldExtractor::CutAtEndString(header, "a;b"), "a;b");
}

TEST(CutAtEndStringScope, OneLineNextLineValueIsCutAndTrimmed) {
    TOrderedParamString p = BodyParam(0, "K:");
    p.SetStartLine(false);
    p.SetEndStr(Sj("様"));
    p.SetTrim(true);
    EXPECT_EQ(Body({"K:", Sj("　山田　様")}, {p}).at(0), Sj("山田"));
}

// The lines a value comes from, as the preview marks them.
struct TSpanCase {
    const char* name;
    Params params;
    std::vector<std::array<std::size_t, 4>> spans;  // param, key line, first, end
};

class LocateBodyValues : public ::testing::TestWithParam<TSpanCase> {};

TEST_P(LocateBodyValues, MatchesTheLinesTaken) {
    const TLines body = {"A: 1", "x", "B:", "y", "z", "--", "C: 3", "A: last"};
    std::vector<std::array<std::size_t, 4>> got;
    for (const auto& s : TFieldExtractor::LocateBodyValues(body, GetParam().params)) {
        got.push_back({s.param, s.keyLine, s.first, s.end});
    }
    EXPECT_EQ(got, GetParam().spans);
}

TOrderedParamString NextLine(TOrderedParamString p) {
    p.SetStartLine(false);
    return p;
}

TOrderedParamString FromKeyLine(TOrderedParamString p) {
    p.SetStartLine(true);
    return p;
}

INSTANTIATE_TEST_SUITE_P(
    Capture, LocateBodyValues,
    ::testing::Values(
        TSpanCase{"OneLineTakesItsKeyLine", {BodyParam(0, "A:")}, {{0, 0, 0, 1}}},
        TSpanCase{"NextLineTakesTheLineBelow", {NextLine(BodyParam(0, "A:"))}, {{0, 0, 1, 2}}},
        TSpanCase{"NextLineOnTheLastLineTakesNothing",
                  {BodyParam(0, "C:"), NextLine(BodyParam(1, "A:"))},
                  {{0, 6, 6, 7}, {1, 7, 8, 8}}},
        TSpanCase{"MultiLineStopsBeforeItsEndLine", {MultiParam(0, "B:", "--")}, {{0, 2, 3, 5}}},
        TSpanCase{"MultiLineFromTheKeyLineStopsAtTheNextKey",
                  {FromKeyLine(MultiParam(0, "A:", "")), BodyParam(1, "B:")},
                  {{0, 0, 0, 2}, {1, 2, 2, 3}}},
        TSpanCase{
            "MissingParameterHasNoSpan", {BodyParam(0, "Z:"), BodyParam(1, "C:")}, {{1, 6, 6, 7}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
