#include "mail/TMimeHeaderValue.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using TPairs = std::vector<std::pair<std::string, std::string>>;

TPairs PairsOf(const TMimeHeaderValue& v) {
    TPairs out;
    for (const auto& p : v.Parameters()) {
        out.emplace_back(p.name, p.value);
    }
    return out;
}

struct TCase {
    const char* name;
    std::string text;
    std::string value;
    TPairs parameters;
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.name;
}

class TMimeHeaderValueTest : public ::testing::TestWithParam<TCase> {};

TEST_P(TMimeHeaderValueTest, Reads) {
    const TMimeHeaderValue v(GetParam().text);
    EXPECT_EQ(v.Value(), GetParam().value);
    EXPECT_EQ(PairsOf(v), GetParam().parameters);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, TMimeHeaderValueTest,
    ::testing::Values(
        TCase{"quoted text is no parameter",
              "multipart/mixed; name=\"a; boundary=evil\"; boundary=real",
              "multipart/mixed",
              {{"name", "a; boundary=evil"}, {"boundary", "real"}}},
        TCase{"comments and folding white space",
              " Text/Plain (body)\r\n\t;(c) charset (x(y)) = \"UTF-8\" (z); format=flowed",
              "text/plain",
              {{"charset", "UTF-8"}, {"format", "flowed"}}},
        TCase{"spaces around the slash", "text / html", "text/html", {}},
        TCase{"quoted pairs", R"(a/b; x="q\"\\z")", "a/b", {{"x", "q\"\\z"}}},
        // "表" is 0x95 0x5C: its second byte is no backslash.
        TCase{"Shift_JIS in a quoted string",
              "a/b; name=\"\x95\x5C.txt\"; c=d",
              "a/b",
              {{"name", "\x95\x5C.txt"}, {"c", "d"}}},
        TCase{"unquoted value keeps = and /",
              "multipart/mixed; boundary=----=_Part/1;x=y",
              "multipart/mixed",
              {{"boundary", "----=_Part/1"}, {"x", "y"}}},
        TCase{"missing semicolon", "text/plain charset=sjis", "text/plain", {{"charset", "sjis"}}},
        TCase{"only a parameter", "charset=euc-jp", "", {{"charset", "euc-jp"}}},
        TCase{"token only", " BASE64 ", "base64", {}},
        TCase{
            "word without value is dropped", "text/plain; x-sjis; a=b", "text/plain", {{"a", "b"}}},
        TCase{"unclosed quote runs to the end", "a/b; name=\"x; y", "a/b", {{"name", "x; y"}}},
        TCase{"unclosed comment runs to the end", "a/b (c; d=e", "a/b", {}},
        TCase{"empty", "", "", {}},
        TCase{"stray bytes", "a/b; =\"q\" ;; @ c=d", "a/b", {{"c", "d"}}},
        TCase{"RFC 2231 continuations in any order",
              "application/pdf; filename*1=\"b c\"; filename*0=a; filename*2=d",
              "application/pdf",
              {{"filename", "ab cd"}}},
        TCase{"RFC 2231 sections stop at a gap", "a/b; n*0=x; n*2=z", "a/b", {{"n", "x"}}},
        TCase{
            "RFC 2231 too many digits is no section", "a/b; n*1000=x", "a/b", {{"n*1000", "x"}}}));

TEST(TMimeHeaderValueTest, Rfc2231CharsetAndLanguage) {
    const TMimeHeaderValue single("attachment; filename*=UTF-8'ja'%E6%9C%AC%2etxt%");
    const auto* p = single.Find("filename");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->value, "\xE6\x9C\xAC.txt%");
    EXPECT_EQ(p->charset, "UTF-8");
    EXPECT_EQ(p->language, "ja");

    const TMimeHeaderValue continued(
        "a/b; title*0*=us-ascii'en'This%20is; title*1*=%20%2A; title*2=\"%20ok\"");
    p = continued.Find("title");
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->value, "This is *%20ok");  // a section without "*" is not decoded
    EXPECT_EQ(p->charset, "us-ascii");
    EXPECT_EQ(p->language, "en");
}

TEST(TMimeHeaderValueTest, FirstNonEmptyParameterCounts) {
    const TMimeHeaderValue v("multipart/mixed; boundary=\"\"; BOUNDARY=b1; boundary=b2");
    EXPECT_EQ(v.Parameter("boundary"), "b1");
    EXPECT_EQ(v.Parameter("charset"), "");
}

}  // namespace
