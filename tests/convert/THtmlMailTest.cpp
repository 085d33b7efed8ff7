// HTML-only notification mails as shops, form services and booking systems
// send them: with HTML text on, key-line parameters find the values in the
// table rows and <br> lines; with it off, the body stays as it always was.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "MailTestUtil.h"
#include "TParamMaker.h"
#include "TestText.h"
#include "base/LineSplitter.h"
#include "base/SjisText.h"
#include "mail/TMail.h"
#include "params/TFieldExtractor.h"

namespace {

TMail HtmlMail(const std::string& text, bool htmlText = true) {
    TMailOptions options;
    options.htmlText = htmlText;
    return TMail(TLineSplitter::Split(text), options);
}

std::string HtmlFile(const char* name) {
    return ReadFile(DataFile(std::string("html/") + name));
}

// The value of each key (UTF-8), by the mail's body lines.
std::vector<std::string> ValuesOf(const TMail& mail, const std::vector<const char*>& keys) {
    std::vector<TOrderedParamString> params;
    for (const char* key : keys) {
        params.push_back(BodyParam(static_cast<int>(params.size()), Sj(key)));
    }
    const TValueMap values = TFieldExtractor::ExtractValues(mail, {}, params);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const auto it = values.find(static_cast<int>(i));
        out.push_back(it == values.end() ? "" : Utf(it->second));
    }
    return out;
}

struct TMailCase {
    const char* file;
    std::vector<const char*> keys;
    std::vector<std::string> values;
};

void PrintTo(const TMailCase& c, std::ostream* os) {
    *os << c.file;
}

class THtmlMailTest : public ::testing::TestWithParam<TMailCase> {};

TEST_P(THtmlMailTest, ValuesFoundByKey) {
    const TMail mail = HtmlMail(HtmlFile(GetParam().file));
    EXPECT_EQ(ValuesOf(mail, GetParam().keys), GetParam().values);
    for (const std::string& line : mail.GetBody()) {
        EXPECT_TRUE(sjis::IsValid(line)) << Utf(line);
        EXPECT_EQ(line.find("<t"), std::string::npos) << Utf(line);  // no tags left
    }
}

INSTANTIATE_TEST_SUITE_P(
    Mail, THtmlMailTest,
    ::testing::Values(TMailCase{"shop-order-nested-tables-utf8-meta-only.eml",
                                {"ご注文番号", "お名前", "お届け先", "合計金額"},
                                // "&yen;" is the Shift_JIS byte 0x5C, shown as a yen sign.
                                {"SO-2024-000871", "山田 太郎", "〒100-0005", "\\12,800（税込）"}},
                      TMailCase{"web-form-br-lines-shift-jis-meta-only.eml",
                                {"受付番号：", "お名前：", "電話番号："},
                                {"FORM-20240409-0042", "佐藤 花子", "090-1234-5678"}},
                      TMailCase{
                          "booking-iso-2022-jp-meta-only-blank-text-part.eml",
                          {"予約番号", "ご宿泊日", "代表者", "チェックイン"},
                          {"RSV-55120", "2024年5月3日 ～ 2024年5月5日", "鈴木 一郎", "15:00"}},
                      TMailCase{"broken-markup-unclosed-cells-utf8.eml",
                                {"会員番号", "氏名", "ポイント", "<自動送信>"},
                                {"M-00912", "高橋　次郎", "1,250 pt", "& &unknown;"}}));

TEST(THtmlMailOptionTest, OffKeepsTheMarkupOrTheEmptyBody) {
    const TMail single = HtmlMail(HtmlFile("web-form-br-lines-shift-jis-meta-only.eml"), false);
    ASSERT_FALSE(single.GetBody().empty());
    EXPECT_EQ(single.GetBody()[0], "<html><head>");
    const TMail multi = HtmlMail(HtmlFile("broken-markup-unclosed-cells-utf8.eml"), false);
    EXPECT_TRUE(multi.GetBody().empty());
}

TEST(THtmlMailOptionTest, ATextPartWithTextWins) {
    const std::string mail =
        "Content-Type: multipart/alternative; boundary=b\n\n"
        "--b\nContent-Type: text/html; charset=utf-8\n\n<p>html</p>\n"
        "--b\nContent-Type: text/plain; charset=utf-8\n\nplain\n--b--\n";
    EXPECT_EQ(HtmlMail(mail).GetBody(), std::vector<std::string>{"plain"});
}

TEST(THtmlMailOptionTest, CharsetOfThePartWinsOverMeta) {
    const std::string mail =
        "Content-Type: text/html; charset=utf-8\n\n"
        "<meta charset=Shift_JIS><table><tr><td>\xE5\x90\x8D</td><td>x</td></table>\n";
    EXPECT_EQ(HtmlMail(mail).GetBody(), std::vector<std::string>{Sj("名") + "\tx"});
}

// A <meta> that names UTF-16 or UTF-32 on a body of bytes cannot be right:
// the charset is guessed as if it were not there.
TEST(THtmlMailOptionTest, AMetaCharsetOfWideCharactersIsPassedOver) {
    for (const char* meta :
         {"<meta charset=\"UTF-16\">",
          "<meta http-equiv=Content-Type content=\"text/html; charset=utf-32\">"}) {
        const std::string mail =
            std::string("Content-Type: text/html\n\n") + meta + "<p>" + Sj("お名前") + "</p>\n";
        EXPECT_EQ(HtmlMail(mail).GetBody(), std::vector<std::string>{Sj("お名前")}) << meta;
    }
}

TEST(THtmlMailOptionTest, UndeclaredCharsetIsGuessed) {
    const std::string mail = "Content-Type: text/html\n\n<p>" + Sj("お名前") + "</p>\n";
    EXPECT_EQ(HtmlMail(mail).GetBody(), std::vector<std::string>{Sj("お名前")});
}

// A 5 MB mail of order rows: every row is read, the last one too.
TEST(THtmlMailOptionTest, LargeMail) {
    std::string html = "Content-Type: text/html; charset=utf-8\n\n<table>\n";
    int rows = 0;
    while (html.size() < 5 * 1024 * 1024) {
        html += "<tr><td>商品" + std::to_string(rows) + "</td><td>" + std::to_string(rows) +
                "&#x5186;</td></tr>\n";
        ++rows;
    }
    html += "</table><p>合計：" + std::to_string(rows) + "点</p>\n";
    const TMail mail = HtmlMail(html);
    ASSERT_EQ(mail.GetBody().size(), static_cast<std::size_t>(rows) + 1);
    EXPECT_EQ(Utf(mail.GetBody()[rows - 1]),
              "商品" + std::to_string(rows - 1) + "\t" + std::to_string(rows - 1) + "円");
    EXPECT_EQ(ValuesOf(mail, {"合計："}), std::vector<std::string>{std::to_string(rows) + "点"});
}

}  // namespace
