#include "mail/THtmlText.h"

#include <gtest/gtest.h>

#include <string>

#include "TestText.h"

namespace {

struct TCase {
    const char* name;
    std::string html;
    std::string text;  // UTF-8
};

void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.name;
}

class THtmlTextTest : public ::testing::TestWithParam<TCase> {};

TEST_P(THtmlTextTest, FromUtf8) {
    EXPECT_EQ(THtmlText::FromUtf8(GetParam().html), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, THtmlTextTest,
    ::testing::Values(
        TCase{"row cells joined by a tab",
              "<table><tr><th> お名前 </th><td>\n  山田&nbsp;太郎 </td></tr>"
              "<tr><td>電話</td><td></td><td>03</td></tr></table>",
              "お名前\t山田 太郎\n電話\t\t03\n"},
        TCase{"nested layout tables",
              "<table><tr><td>ご注文内容<table><tr><td>商品</td><td>A</td></tr></table>"
              "</td><td>右</td></tr></table>",
              "ご注文内容\n商品\tA\n\t右\n"},
        TCase{"br ends lines, empty ones too", "a<br>b<br><br>c<br/>", "a\nb\n\nc\n"},
        TCase{"blocks end lines without empty lines between",
              "<div><p>one</p><p>two</p></div><h2>three</h2>four<ul><li>x</li><li>y</ul>",
              "one\ntwo\nthree\nfour\nx\ny\n"},
        TCase{"white space collapses as in a browser", "  a \t\r\n b<span> c </span> <b>d</b>\n",
              "a b c d\n"},
        TCase{"pre keeps its white space", "<pre>  a  b\r\n\tc</pre>x", "  a  b\n\tc\nx\n"},
        TCase{"hidden parts and comments are dropped",
              "<html><head><title>T</title><style>p{}</style></head><body>"
              "<!-- note --><script>document.write('<td>x')</script>shown</body></html>",
              "shown\n"},
        TCase{"entities and references decoded", "&lt;&amp;&gt; &#x3042;&#12354; &copy;",
              "<&> ああ ©\n"},
        TCase{"a link keeps its text", "<a href=\"https://example.jp/x\">詳細</a>", "詳細\n"},
        TCase{"broken markup", "<p>a<td>b</p><div>c<b>d</div></i>e<", "a\nb\ncd\ne<\n"},
        TCase{"no markup at all", "plain text", "plain text\n"}, TCase{"empty", "", ""}));

TEST(THtmlTextSjisTest, ConvertsBothWaysAndKeepsCp932) {
    EXPECT_EQ(THtmlText::FromSjis(Sj("<tr><td>①</td><td>～髙</td>") + "<tr>"),
              Sj("①\t～髙") + "\n");
}

TEST(THtmlTextMetaTest, CharsetFromTheHead) {
    const struct {
        std::string html;
        std::string charset;
    } cases[] = {
        {"<html><head><META CHARSET='Shift_JIS'>", "Shift_JIS"},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-2022-jp\">",
         "iso-2022-jp"},
        {"<meta name=x><meta content='text/html;charset=EUC-JP' http-equiv=content-type>",
         "EUC-JP"},
        {"<metadata charset=x><meta charset=utf-8/>", "utf-8"},
        {"<body><meta charset=utf-8>", ""},
        {"<meta charset=\"utf-8", "utf-8"},
        {"<meta", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(THtmlText::MetaCharset(c.html), c.charset) << c.html;
    }
}

}  // namespace
