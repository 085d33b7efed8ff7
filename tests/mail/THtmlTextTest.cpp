#include "mail/THtmlMarkup.h"
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

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

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
        TCase{"no markup at all", "plain text", "plain text\n"}, TCase{"empty", "", ""},
        TCase{"a document type's internal subset is no text",
              "<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0//EN\" [\n<!ENTITY n \"x\">\n]>\n"
              "<p>a</p><!doctype html><p>b</p>",
              "a\nb\n"},
        TCase{"tags end where the parser ends them",
              "<p title=\"a>b\" class=x>one</p z=\"<p>\"><p a='>' b=c/>two<td><br x=\"",
              "one\n\">\ntwo\n\n"},
        TCase{"script and style keep their raw text to their end tag",
              "<script>var s = \"<p title='\";</script>after<STYLE a=b>p{content:\"<br>\"}"
              "</style><script/>shown<script hidden=a/>no</script> <script hidden=a b/>too",
              "aftershown too\n"},
        TCase{"many attributes, repeated or not",
              "<p " +
                  [] {
                      std::string attributes;
                      for (int i = 0; i < 20000; ++i) {
                          attributes += "a" + std::to_string(i) + "=x class=y ";
                      }
                      return attributes;
                  }() +
                  "alt='k'>text</p>",
              "text\n"},
        TCase{"nesting deeper than the parser goes",
              "<table><tr><td>a</td><td>" + Repeat("<div>", 600) + "deep<script>x<p>y</script>" +
                  Repeat("</i>", 600) + Repeat("</div>", 600) + "</td></tr></table><p>end</p>",
              "a\t\ndeep\nend\n"}));

TEST(THtmlMarkupTest, KeepsTagsAndWhatTheTextNeedsOnly) {
    const struct {
        std::string html;
        std::string slim;
    } cases[] = {
        {"<IMG src=a.png ALT='写真' alt=x style=\"a:b\" class=c hidden>",
         "<IMG ALT='写真' style=\"a:b\" hidden >"},
        {"<p a=1 b=\"2>3\" c='4'>x</P junk=\">y", "<p>x</P>y"},
        {"<br clear=all />", "<br/>"},
        {"<br clear=all/>", "<br>"},                       // the "/" is the value's
        {"<!DOCTYPE x [<!ENTITY a \"]>\">]>t", "\">]>t"},  // the first "]>" ends the subset
        {"<!doctype html>t<!DOCTYPE", "t"},
        {"<!-- <p a=1> --><?x <p b=2>?><script a=1><p c=3></SCRIPT d=4>",
         "<!-- <p a=1> --><?x <p b=2>?><script><p c=3></SCRIPT>"},
        {"a < b <3 </ p>", "a < b <3 </ p>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(THtmlMarkup::Slim(c.html), c.slim) << c.html;
    }
    // One tag of 300,000 attributes, repeated or not, keeps its name only.
    std::string many = "<p";
    for (int i = 0; i < 150000; ++i) {
        many += " a" + std::to_string(i) + "=x a=y";
    }
    EXPECT_EQ(THtmlMarkup::Slim(many + ">t"), "<p>t");
}

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
        // Nothing read as bytes can be in these: passed over.
        {"<meta charset=\"UTF-16\"><meta charset=utf-8>", "utf-8"},
        {"<meta charset='utf-16le'>", ""},
        {"<meta http-equiv=Content-Type content='text/html; charset=unicode'>", ""},
        {"<meta charset=UTF-32BE>", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(THtmlText::MetaCharset(c.html), c.charset) << c.html;
    }
}

}  // namespace
