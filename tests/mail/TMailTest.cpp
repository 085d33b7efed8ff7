#include "mail/TMail.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "MailTestUtil.h"
#include "TestText.h"
#include "mail/TEudoraMail.h"

namespace {

using namespace std::string_literals;

TMail MailOf(std::string_view text, const TMailOptions& options = {}) {
    return TMail(LinesOf(text), options);
}

const std::vector<std::string>& Header(const TMail& mail, const std::string& key) {
    static const std::vector<std::string> kNone;
    const auto it = mail.GetHeader().find(key);
    return it == mail.GetHeader().end() ? kNone : it->second;
}

using Lines = std::vector<std::string>;

// "日本語テスト\r\n二行目\r\n" in UTF-8, Base64.
constexpr std::string_view kUtf8Base64 = "5pel5pys6Kqe44OG44K544OIDQrkuozooYznm64NCg==";

TEST(TMailHeaderTest, NoEmptyLineMeansHeadersOnly) {
    const TMail mail = MailOf("From: a@example.com\nSubject: hello\nbody?");
    EXPECT_EQ(Header(mail, "FROM:"), Lines{"a@example.com"});
    EXPECT_EQ(Header(mail, ""), Lines{"body?"});
    EXPECT_TRUE(mail.GetBody().empty());
}

TEST(TMailHeaderTest, OnlyAnEmptyLineEndsTheHeaderBlock) {
    const TMail mail = MailOf("Subject: s\n   \nX-After: yes\n\nbody");
    EXPECT_EQ(Header(mail, "X-AFTER:"), Lines{"yes"});
    EXPECT_EQ(mail.GetBody(), Lines{"body"});
}

TEST(TMailHeaderTest, KeysAreUpperCasedWithTheirColonAndValuesTrimmed) {
    const TMail mail = MailOf("x-Mailer:\t Tool 1.0 \r\nno colon here\nX-Empty:   \n\n");
    EXPECT_EQ(Header(mail, "X-MAILER:"), Lines{"Tool 1.0"});
    EXPECT_EQ(Header(mail, ""), Lines{"no colon here"});
    EXPECT_EQ(mail.GetHeader().count("X-EMPTY:"), 0u);
    // The second byte of a double-byte character is no letter to upper-case.
    const TMail kana = MailOf(
        "x-\x83\x61"
        "b\x83\x61:\tv\n\n");
    EXPECT_EQ(Header(kana,
                     "X-\x83\x61"
                     "B\x83\x61:"),
              Lines{"v"});
    // Long names are upper-cased eight bytes at a time: only 'a'-'z' change,
    // and a double-byte character after the first eight is still skipped.
    const TMail mixed = MailOf(
        "x-`az{@AZ[09_-abcdefghijklmnopqrstuvwxyz:1\n"
        "x-long-na\x83\x61me:2\n\n");
    EXPECT_EQ(Header(mixed, "X-`AZ{@AZ[09_-ABCDEFGHIJKLMNOPQRSTUVWXYZ:"), Lines{"1"});
    EXPECT_EQ(Header(mixed, "X-LONG-NA\x83\x61ME:"), Lines{"2"});
}

// Continuation lines used to be values of their own: a field is now unfolded
// first (its fold's white space kept), so one field gives one value.
TEST(TMailHeaderTest, FoldedFieldIsOneValue) {
    const TMail mail =
        MailOf("Received: from a\n\tby b\n  for c\nReceived: from d\nTo: x@example.com\n\n");
    EXPECT_EQ(Header(mail, "RECEIVED:"), (Lines{"from a\tby b  for c", "from d"}));
}

TEST(TMailHeaderTest, FoldKeepsItsBlankButEncodedWordsJoin) {
    // The blank at the fold used to be lost ("foldedsubject").
    const TMail plain = MailOf("Subject: a folded\n subject line\n\n");
    EXPECT_EQ(Header(plain, "SUBJECT:"), Lines{"a folded subject line"});

    const TMail encoded = MailOf(
        "Subject: =?ISO-2022-JP?B?GyRCN29MPiRHJDkbKEI=?=\n"
        " =?iso-2022-jp?B?GyRCQjMkLRsoQg==?=\nSubject: again\n\n");
    EXPECT_EQ(Header(encoded, "SUBJECT:"), Lines{Sj("件名です続きagain")});
}

// Decoding that fails on one value, as an unusable converter would.
class TFailingMail : public TMail {
  public:
    TFailingMail(const TLines& lines, const TMailOptions& options, const TMailOrigin& origin)
        : TMail(TDeferParse{}, options, origin) {
        const std::vector<std::string_view> views(lines.begin(), lines.end());
        Parse(views);
    }

  protected:
    std::string DecodeHeader(std::string_view value) const override {
        if (value.find("BAD") != std::string_view::npos) {
            throw std::runtime_error("broken");
        }
        return TMail::DecodeHeader(value);
    }
};

TEST(TMailHeaderTest, UndecodableValueIsReportedAndLeftOut) {
    std::vector<std::string> warnings;
    TMailOptions options;
    options.warning = [&](const std::string& m) { warnings.push_back(m); };
    const TFailingMail mail(LinesOf("Subject: ok\nX-Bad: BAD\nTo: kept@example.com\n\nbody line"),
                            options, {});
    EXPECT_EQ(mail.HeaderValues("TO:"), Lines{"kept@example.com"});
    EXPECT_TRUE(warnings.empty());  // values are decoded when asked for
    EXPECT_EQ(Header(mail, "SUBJECT:"), Lines{"ok"});
    EXPECT_EQ(warnings, Lines{"broken"});
    EXPECT_EQ(mail.GetHeader().count("X-BAD:"), 0u);
    EXPECT_EQ(Header(mail, "TO:"), Lines{"kept@example.com"});
    EXPECT_EQ(mail.GetBody(), Lines{"body line"});
}

TEST(TMailHeaderTest, WarningNamesTheMail) {
    const struct {
        TMailOrigin origin;
        std::string text;
    } cases[] = {{{"a.eml", 0}, "a.eml: broken"}, {{{}, 3}, Sj("3番目のメール: ") + "broken"}};
    for (const auto& c : cases) {
        std::vector<std::string> warnings;
        TMailOptions options;
        options.warning = [&](const std::string& m) { warnings.push_back(m); };
        const TFailingMail mail(LinesOf("X-Bad: BAD\n\n"), options, c.origin);
        EXPECT_TRUE(mail.HeaderValues("X-BAD:").empty());
        EXPECT_EQ(warnings, Lines{c.text});
    }
}

struct TCodePageCase {
    Lines values;
    int codePage;
};

class TCodePageTest : public ::testing::TestWithParam<TCodePageCase> {};

TEST_P(TCodePageTest, FromContentTypeValues) {
    EXPECT_EQ(TMail::ContentTypeOf(GetParam().values).codePage, GetParam().codePage);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, TCodePageTest,
    ::testing::Values(TCodePageCase{{"text/plain; charset=iso-2022-jp"}, 50222},
                      // Shift_JIS used to fall to the default 50222.
                      TCodePageCase{{"text/plain; charset=Shift_JIS"}, 932},
                      TCodePageCase{{"text/plain; charset=x-sjis"}, 932},
                      TCodePageCase{{"text/plain;", "charset=utf-8"}, 65001},
                      TCodePageCase{{"text/plain; charset=UTF8"}, 65001},
                      TCodePageCase{{"text/plain; charset=utf-7"}, 65000},
                      // US-ASCII used to be 932: it is read like ISO-2022-JP so that
                      // mislabelled 8-bit text is recognised.
                      TCodePageCase{{"text/plain; charset=us-ascii"}, 50222},
                      TCodePageCase{{"TEXT/PLAIN; CHARSET=\"ISO-8859-1\""}, 1252},
                      TCodePageCase{{"text/plain; charset=iso-8859-15"}, 0},
                      TCodePageCase{{"text/plain; charset=windows-1252"}, 1252},
                      TCodePageCase{{"text/plain; charset=iso-8859-1"}, 1252},
                      TCodePageCase{{"text/plain; charset=euc-jp"}, 51932},
                      TCodePageCase{{"charset=euc-jp", "format=flowed"}, 51932},
                      TCodePageCase{{"text/plain; x-sjis"}, 932},
                      // Quoted text names no charset.
                      TCodePageCase{{"text/plain; name=\"a; charset=utf-8\"; charset=sjis"}, 932},
                      TCodePageCase{{"text/plain; name=\"utf-8.txt\""}, 50222},
                      TCodePageCase{{}, 50222}));

struct TBoundaryCase {
    Lines values;
    std::string boundary;
};

class TBoundaryTest : public ::testing::TestWithParam<TBoundaryCase> {};

TEST_P(TBoundaryTest, FromContentTypeValues) {
    EXPECT_EQ(TMail::ContentTypeOf(GetParam().values).boundary, GetParam().boundary);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, TBoundaryTest,
    ::testing::Values(
        TBoundaryCase{{"multipart/mixed; boundary=\"abc\""}, "abc"},
        TBoundaryCase{{"multipart/mixed; boundary=abc"}, "abc"},
        TBoundaryCase{{"multipart/mixed; boundary=abc; charset=x"}, "abc"},
        TBoundaryCase{{"multipart/mixed; BOUNDARY = \"a b\""}, "a b"},
        TBoundaryCase{{"multipart/mixed;", "Boundary=\"----=_Part_1\""}, "----=_Part_1"},
        TBoundaryCase{{"multipart/mixed; boundary=\"q\\\"x\""}, "q\"x"},
        TBoundaryCase{{"multipart/mixed; xboundary=no"}, ""},
        TBoundaryCase{{"multipart/mixed; boundary=\"\"", "boundary=later"}, "later"},
        TBoundaryCase{{"text/plain"}, ""},
        TBoundaryCase{{"multipart/mixed; name=\"a; boundary=evil\"; boundary=real"}, "real"},
        TBoundaryCase{{"multipart/mixed; boundary*0=ab; boundary*1=\"c d\""}, "abc d"}));

TEST(TMailBodyTest, PlainLinesAreConvertedOneByOne) {
    const TMail mail = MailOf(
        "Content-Type: text/plain; charset=iso-2022-jp\n\n"
        "\x1b$B$3$s$K$A$O\x1b(B\n\nplain\n");
    EXPECT_EQ(mail.GetBody(), (Lines{Sj("こんにちは"), "", "plain"}));
}

// Only plain ASCII lines skip decoding: an escape, a shift byte or an 8-bit
// byte anywhere in a line, whatever its offset, still has it decoded.
TEST(TMailBodyTest, AnyNonPlainByteHasTheLineDecoded) {
    for (std::size_t at = 0; at <= 17; ++at) {
        const std::string pad(at, 'a');
        const struct {
            const char* charset;
            std::string raw;
            std::string decoded;
        } cases[] = {
            {"iso-2022-jp", pad + "\x1b$B$3$s\x1b(B\tz", pad + Sj("こん") + "\tz"},
            {"iso-2022-jp", pad + "\x0e" + "1\x0fz", pad + "\xb1z"},
            {"EUC-JP", pad + "\xcb\xdc\tz", pad + Sj("本") + "\tz"},
        };
        for (const auto& c : cases) {
            const TMail mail = MailOf(
                "Content-Type: text/plain; charset=" + std::string(c.charset) + "\n\n" + c.raw);
            EXPECT_EQ(mail.GetBody(), Lines{c.decoded}) << c.charset << " at " << at;
        }
    }
}

TEST(TMailBodyTest, EucJpBody) {
    const TMail mail = MailOf("Content-Type: text/plain; charset=EUC-JP\n\n\xcb\xdc\xca\xb8");
    EXPECT_EQ(mail.GetBody(), Lines{Sj("本文")});
}

TEST(TMailBodyTest, Base64BodyIsJoinedDecodedAndSplit) {
    const std::string b64(kUtf8Base64);
    const TMail mail =
        MailOf("Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n" +
               b64.substr(0, 20) + "\n" + b64.substr(20) + "\n");
    EXPECT_EQ(mail.GetBody(), (Lines{Sj("日本語テスト"), Sj("二行目")}));
}

TEST(TMailBodyTest, BlanksInBase64LinesAreIgnored) {
    const std::string b64(kUtf8Base64);
    const TMail mail =
        MailOf("Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n" +
               b64.substr(0, 20) + "  \t\n " + b64.substr(20, 4) + " " + b64.substr(24) + " \n");
    EXPECT_EQ(mail.GetBody(), (Lines{Sj("日本語テスト"), Sj("二行目")}));
}

TEST(TMailBodyTest, QuotedPrintableBody) {
    const TMail mail = MailOf(
        "Content-Type: text/plain; charset=us-ascii\n"
        "Content-Transfer-Encoding: Quoted-Printable\n\n"
        "soft=\nbreak =41\nnext\n");
    EXPECT_EQ(mail.GetBody(), (Lines{"softbreak A", "next"}));
}

constexpr std::string_view kMixedHead =
    "Content-Type: multipart/mixed; boundary=\"outer\"\n\npreamble\n";

TEST(TMailMultipartTest, FirstTextPlainPartIsTheBody) {
    const TMail mail = MailOf(std::string(kMixedHead) +
                              "--outer\nContent-Type: text/html\n\n<p>html</p>\n"
                              "--outer\nContent-Type: text/plain; charset=us-ascii\n\n"
                              "line 1\nline 2\n--outer--\nepilogue\n");
    EXPECT_EQ(mail.GetBody(), (Lines{"line 1", "line 2"}));
    EXPECT_EQ(Header(mail, "CONTENT-TYPE:").size(), 1u);  // part headers stay apart
}

TEST(TMailMultipartTest, UnquotedBoundaryKeepsAllItsCharacters) {
    const TMail mail = MailOf(
        "Content-Type: multipart/mixed; boundary=00032557395e\n\n"
        "--00032557395e\nContent-Type: text/plain; charset=us-ascii\n\ntext\n"
        "--00032557395e--\n");
    EXPECT_EQ(const_cast<TMail&>(mail).GetBoundary(), "00032557395e");
    EXPECT_EQ(mail.GetBody(), Lines{"text"});
}

TEST(TMailMultipartTest, TextInsideANestedAlternativeIsFound) {
    const TMail mail = MailOf(std::string(kMixedHead) +
                              "--outer\n"
                              "Content-Type: multipart/alternative;\n"
                              "\tboundary=\"inner\"\n\n"
                              "--inner\nContent-Type: text/html\n\n<b>x</b>\n"
                              "--inner\nContent-Type: text/plain; charset=iso-2022-jp\n\n"
                              "\x1b$B$3$s$K$A$O\x1b(B\n"
                              "--inner--\n\n"
                              "--outer\nContent-Type: text/plain; name=a.txt\n\nattachment\n"
                              "--outer--\n");
    EXPECT_EQ(mail.GetBody(), Lines{Sj("こんにちは")});
}

TEST(TMailMultipartTest, NestedPartWithoutTextFallsBackToALaterPart) {
    const TMail mail = MailOf(std::string(kMixedHead) +
                              "--outer\nContent-Type: multipart/related; boundary=r\n\n"
                              "--r\nContent-Type: text/html\n\nh\n--r--\n"
                              "--outer\nContent-Type: text/plain; charset=us-ascii\n\nlater\n"
                              "--outer--\n");
    EXPECT_EQ(mail.GetBody(), Lines{"later"});
}

TEST(TMailMultipartTest, QuotedPrintablePartIsDecoded) {
    const TMail mail = MailOf(std::string(kMixedHead) +
                              "--outer\nContent-Type: text/plain; charset=iso-8859-1\n"
                              "Content-Transfer-Encoding: quoted-printable\n\n"
                              "restri=\ncted =3D ok\n--outer--\n");
    EXPECT_EQ(mail.GetBody(), Lines{"restricted = ok"});
}

TEST(TMailMultipartTest, Base64PartWithTrailingBlanks) {
    const std::string b64(kUtf8Base64);
    const TMail mail = MailOf(std::string(kMixedHead) +
                              "--outer\nContent-Type: text/plain; charset=utf-8\n"
                              "Content-Transfer-Encoding: base64\n\n" +
                              b64.substr(0, 16) + "   \n" + b64.substr(16) + " \n--outer\n");
    EXPECT_EQ(mail.GetBody(), (Lines{Sj("日本語テスト"), Sj("二行目")}));
}

TEST(TMailMultipartTest, UnfinishedStructuresGiveAnEmptyBody) {
    EXPECT_TRUE(
        MailOf(std::string(kMixedHead) + "--outer\nContent-Type: text/plain\n").GetBody().empty());
    EXPECT_TRUE(MailOf(std::string(kMixedHead) + "no delimiter\n").GetBody().empty());
}

TEST(TMailMultipartTest, TextPartRunsToTheEndWithoutClosingDelimiter) {
    const TMail mail = MailOf(std::string(kMixedHead) +
                              "--outer\nContent-Type: text/plain; charset=us-ascii\n\na\nb");
    EXPECT_EQ(mail.GetBody(), (Lines{"a", "b"}));
}

TEST(TMailMultipartTest, VeryDeepNestingDoesNotExhaustTheStack) {
    std::string text = "Content-Type: multipart/mixed; boundary=b0\n\n";
    for (int i = 0; i < 5000; ++i) {
        text += "--b" + std::to_string(i) + "\nContent-Type: multipart/mixed; boundary=b" +
                std::to_string(i + 1) + "\n\n";
    }
    text += "--b5000\nContent-Type: text/plain\n\ndeep\n";
    EXPECT_TRUE(MailOf(text).GetBody().empty());
}

struct TBodyCase {
    const char* name;
    std::string mail;
    Lines body;
};
void PrintTo(const TBodyCase& c, std::ostream* os) {
    *os << c.name;
}

class TRealWorldBodyTest : public ::testing::TestWithParam<TBodyCase> {};

// Bodies that used to come out empty, cut or in the wrong charset.
TEST_P(TRealWorldBodyTest, Decodes) {
    const TLines lines =
        TLineSplitter::Split(GetParam().mail, TLineSplitter::TZeroByte::kIsData);  // as readers do
    EXPECT_EQ(TMail(lines).GetBody(), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Mail, TRealWorldBodyTest,
    ::testing::Values(
        TBodyCase{"media type in any case",
                  std::string(kMixedHead) +
                      "--outer\nContent-Type: TEXT/Plain;\n\tcharset=UTF-8\n\n"
                      "\xE3\x81\x82\n--outer--\n",
                  {Sj("あ")}},
        TBodyCase{"part without Content-Type",
                  std::string(kMixedHead) + "--outer\nContent-Transfer-Encoding: 7bit\n\ntext\n"
                                            "--outer\nContent-Type: text/html\n\nh\n--outer--\n",
                  {"text"}},
        TBodyCase{
            "delimiters with transport padding",
            std::string(kMixedHead) + "--outer \t\nContent-Type: text/plain\n\na\n--outer-- \n",
            {"a"}},
        TBodyCase{"0 byte dropped", "Subject: x\n\na\0b\nc\n"s, {"ab", "c"}},
        TBodyCase{"windows-1252 declared as ISO-8859-1",
                  "Content-Type: text/plain; charset=iso-8859-1\n\nwasn\x92t \xC9\n",
                  {Sj("wasn’t ?")}},
        TBodyCase{"EUC-JP labelled ISO-2022-JP",
                  "Content-Type: text/plain; charset=iso-2022-jp\n\n\xBC\xA1\xA4\xCE\n",
                  {Sj("次の")}},
        // Alone, the half-width "\xB1\xB2" would pass for an EUC-JP kanji.
        TBodyCase{"charset guessed from the whole body",
                  "Subject: x\n\n\xB1\xB2\n\x82\xA0\x82\xA2\n",
                  {"\xB1\xB2", Sj("あい")}},
        TBodyCase{"Shift_JIS declared",
                  "Content-Type: text/plain; charset=\"Shift_JIS\"\n\n\x82\xA0\x82\n",
                  {Sj("あ") + "?"}}));

TEST(TMailCorpusTest, JapaneseMailWithTwoEncodedWords) {
    const TMail mail(LinesOf(ReadFile(DataFile("mimekit-japanese.eml"))));
    EXPECT_EQ(Header(mail, "SUBJECT:"), Lines{Sj("日本語メールテスト (testing Japanese emails)")});
    ASSERT_GE(mail.GetBody().size(), 4u);
    EXPECT_EQ(mail.GetBody()[2], Sj("日本語が"));
}

TEST(TMailCorpusTest, NestedQuotedPrintableReport) {
    const TMail mail(LinesOf(ReadFile(DataFile("sisimai-lhost-exchange2007-04.eml"))));
    ASSERT_GE(mail.GetBody().size(), 4u);
    EXPECT_EQ(mail.GetBody()[0], "Delivery has failed to these recipients or groups:");
    EXPECT_EQ(mail.GetBody()[3],
              "Your message can't be delivered because delivery to this address is "
              "restricted.");
}

TEST(TMailCorpusTest, UnquotedBoundaryWithBase64Utf8Part) {
    const TMail mail(LinesOf(ReadFile(DataFile("rubymail-japanese_attachment.eml"))));
    EXPECT_FALSE(mail.GetBody().empty());
    for (const std::string& line : mail.GetBody()) {
        EXPECT_TRUE(sjis::IsValid(line)) << Utf(line);
    }
}

TEST(TEudoraMailTest, BodyBytesAreKeptButHeadersDecoded) {
    const TEudoraMail mail(
        LinesOf("Subject: =?ISO-2022-JP?B?GyRCN29MPiRHJDkbKEI=?=\n"
                "Content-Type: text/plain; charset=iso-2022-jp\n\n"
                "\x1b$B$3$s$K$A$O\x1b(B\n"));
    EXPECT_EQ(Header(mail, "SUBJECT:"), Lines{Sj("件名です")});
    EXPECT_EQ(mail.GetBody(), Lines{"\x1b$B$3$s$K$A$O\x1b(B"});
}

TEST(TEudoraMailTest, Base64BodyIsDecodedOnly) {
    const TEudoraMail mail(
        LinesOf("Content-Type: text/plain; charset=utf-8\nContent-Transfer-Encoding: base64\n\n"
                "44Om44O844OG44Kj44O844Ko44OV\n"));
    EXPECT_EQ(mail.GetBody(), Lines{"ユーティーエフ"});
}

}  // namespace
