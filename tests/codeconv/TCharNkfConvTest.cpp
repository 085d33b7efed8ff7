#include "codeconv/TCharNkfConv.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "Corpus.h"
#include "TestText.h"

namespace {

// Without the kanji-filter library (the normal case): built-in converter.
class HeaderTest : public testing::Test {
  protected:
    TCharNkfConv conv_{std::filesystem::path("/nonexistent/NKF32.DLL")};
};

TEST_F(HeaderTest, NoLibraryMeansTheBuiltInConverter) {
    EXPECT_FALSE(conv_.NkfAvailable());
}

TEST_F(HeaderTest, TransferDecodingsAreBuiltIn) {
    EXPECT_EQ(conv_.ConvertText("QUJD", TCharNkfConv::kBase64), "ABC");
    EXPECT_EQ(conv_.ConvertText("a=41", TCharNkfConv::kQuotedPrintable), "aA\r\n");
    EXPECT_EQ(conv_.ConvertText("\x1B$B0!\x1B(B", 50222), "\x88\x9F");
}

struct TCase {
    const char* name;
    std::string value;
    std::string decoded;
};
void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.name;
}

class DecodeHeader : public HeaderTest, public testing::WithParamInterface<TCase> {};

TEST_P(DecodeHeader, Decodes) {
    EXPECT_EQ(conv_.DecodeHeader(GetParam().value), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    IsoQ, DecodeHeader,
    testing::Values(TCase{"one Q word", "=?ISO-2022-JP?Q?=1B$B$3$s=1B(B?=", Sj("こん")},
                    TCase{"prefix in lower case", "=?iso-2022-jp?q?=1B$B$3$s=1B(B?=", Sj("こん")},
                    // Underscores outside the word used to become spaces too.
                    TCase{"text around the word, underscores only inside it",
                          "Re_1: =?ISO-2022-JP?Q?a_=1B$B$3$s=1B(B?= tail_x",
                          "Re_1: a " + Sj("こん") + " tail_x"},
                    TCase{"second byte 0x5F kept",
                          Sj("ダ") + "_=?ISO-2022-JP?Q?x?=", Sj("ダ") + "_x"},
                    TCase{"unclosed Q word", "=?ISO-2022-JP?Q?=1B$B$3=1B(B", Sj("こ")},
                    TCase{"an equals sign after the word", "=?ISO-2022-JP?Q?=1B$B$3=1B(B?= a=b",
                          Sj("こ") + " a=b"}));

INSTANTIATE_TEST_SUITE_P(
    BuiltIn, DecodeHeader,
    testing::Values(
        TCase{"ISO-2022-JP B word", "=?ISO-2022-JP?B?GyRCJDMkcxsoQg==?=", Sj("こん")},
        // The blank between the words used to be kept ("こ ん").
        TCase{"two ISO-2022-JP B words",
              "=?ISO-2022-JP?B?GyRCJDMbKEI=?= =?ISO-2022-JP?B?GyRCJHMbKEI=?=", Sj("こん")},
        // A kanji split between two words: ESC $B 0x30 | 0x21 ESC ( B.
        TCase{"JIS character split across words",
              "=?ISO-2022-JP?B?GyRCMA==?=\t=?ISO-2022-JP?B?IRsoQg==?=", Sj("亜")},
        TCase{"EUC-JP word", "=?EUC-JP?B?pLOk8w==?=", Sj("こん")},
        TCase{"Shift_JIS word", "=?SHIFT_JIS?B?grGC8Q==?=", Sj("こん")},
        TCase{"raw JIS", "\x1B$B$3$s\x1B(B", Sj("こん")},
        TCase{"plain text", "Hello world", "Hello world"},
        TCase{"raw UTF-8", "日本語の件名", Sj("日本語の件名")},
        TCase{"raw Shift_JIS", Sj("日本語の件名"), Sj("日本語の件名")},
        TCase{"raw EUC-JP", "\xC6\xFC\xCB\xDC\xB8\xEC\xA4\xCE", Sj("日本語の")},
        TCase{"raw bytes of no charset", "a\x80\xFF", "a??"},
        // Words of other charsets used to stay as they stood.
        TCase{"ISO-8859-15 Q word", "=?iso-8859-15?Q?Delivery_Status_Notification_=28Failure=29?=",
              "Delivery Status Notification (Failure)"},
        TCase{"KOI8-R B word", "=?koi8-r?B?8NLJ?=", Sj("При")},
        TCase{"windows-1252 and UTF-8 words",
              "=?windows-1252?Q?=93a=94?= =?utf-8?B?44GC?=", Sj("“a”あ")},
        TCase{"unknown charset guessed", "=?x-foo?B?pLOk8w==?=", Sj("こん")}));

INSTANTIATE_TEST_SUITE_P(
    Utf, DecodeHeader,
    testing::Values(
        TCase{"UTF-8 B word", "=?UTF-8?B?44GC44GE?=", Sj("あい")},
        TCase{"head and tail kept", "Re: =?utf-8?b?44GC?= <a@b>", "Re: " + Sj("あ") + " <a@b>"},
        // Every word is decoded; white space between adjacent words goes.
        TCase{"two B words", "=?UTF-8?B?44GC?= =?UTF-8?B?44GE?=", Sj("あい")},
        TCase{"folded words", "=?UTF-8?B?44GC?=\r\n\t=?UTF-8?B?44GE?=", Sj("あい")},
        TCase{"text between words kept", "=?UTF-8?B?44GC?= and =?UTF-8?B?44GE?=", Sj("あ and い")},
        // "あ" is E3 81 82: split after its first byte.
        TCase{"character split across words", "=?UTF-8?B?4w==?= =?UTF-8?B?gYI=?=", Sj("あ")},
        TCase{"Q word with underscores", "=?UTF-8?Q?a_=E3=81=82_b?=", Sj("a あ b")},
        TCase{"Q word lower-case hex", "=?UTF-8?Q?=e3=81=82?=", Sj("あ")},
        TCase{"B and Q words mixed", "=?UTF-8?Q?=E3=81=82?= =?UTF-8?B?44GE?=", Sj("あい")},
        TCase{"UTF-7 B word", "=?utf-7?B?K1lvQ0lVdy0=?=", Sj("技術")},
        TCase{"UTF-7 and UTF-8 words", "=?UTF-7?Q?+MEI-?= =?UTF-8?B?44GE?=", Sj("あい")},
        TCase{"unclosed word", "=?UTF-8?B?44GC44GE", Sj("あい")},
        TCase{"language suffix", "=?UTF-8?B?44GC?= =?UTF-8*ja?B?44GE?=", Sj("あい")},
        TCase{"emoji", "=?UTF-8?B?8J+YgA==?=x", "?x"},
        // The padding-less last group used to be lost ("xpt").
        TCase{"B word without padding", "=?utf-8?B?eHB0bw?=", "xpto"}));

TEST_F(HeaderTest, DecodeUtfWordWithoutItsPrefixLeavesTheValue) {
    EXPECT_EQ(conv_.DecodeUtfWord("plain", "=?UTF-8?B?"), "plain");
}

std::string HeaderOf(const std::string& mail, const std::string& name) {
    std::string value;
    auto pos = mail.find("\n" + name + ": ");
    if (pos == std::string::npos) {
        return value;
    }
    pos += name.size() + 3;
    // Unfold: continuation lines start with white space.
    while (true) {
        const auto end = mail.find('\n', pos);
        std::string line = mail.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        value += line;
        if (end == std::string::npos || (mail[end + 1] != ' ' && mail[end + 1] != '\t')) {
            return value;
        }
        pos = end + 1;
    }
}

std::string ReadCorpus(const char* name) {
    std::ifstream in(CorpusFile(std::string("eml/") + name), std::ios::binary);
    EXPECT_TRUE(in) << name;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(HeaderTest, RealHeadersFromTheCorpus) {
    const std::string outlook = ReadCorpus("stalwart-legacy-001-utf7.eml");
    EXPECT_EQ(conv_.DecodeHeader(HeaderOf(outlook, "Subject")),
              "Die Hasen und die Fr?sche (Microsoft Outlook 00)");
    EXPECT_EQ(conv_.DecodeHeader("=?utf-7?B?SitBUHctcmdlbiBTY2htK0FQdy1yZ2Vu?= <s@example.com>"),
              "J?rgen Schm?rgen <s@example.com>");
    EXPECT_EQ(conv_.DecodeHeader(HeaderOf(ReadCorpus("rubymail-japanese.eml"), "Subject")),
              Sj("まみむめも"));
    const std::string bounce = ReadCorpus("sisimai-lhost-exchange2003-03.eml");
    const auto at = bounce.find("=?UTF-8?B?");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(conv_.DecodeHeader(bounce.substr(at, bounce.find("?=", at) + 2 - at)),
              Sj(" | 汚れて灰猫になってることがあ"));
}

}  // namespace
