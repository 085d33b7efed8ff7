#include "codeconv/TCodePageConv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "Corpus.h"
#include "TestText.h"
#include "TwoThreads.h"
#include "base/SjisText.h"
#include "codeconv/TIconv.h"

namespace {

constexpr int kJis = TCodePageConv::kIso2022Jp;
constexpr int kEuc = TCodePageConv::kEucJp;
constexpr int kUtf7 = TCodePageConv::kUtf7;
constexpr int kUtf8 = TCodePageConv::kUtf8;

std::string ToUtf7(std::string_view utf8) {
    std::string out;
    TIconv("UTF-7", "UTF-8").Convert(utf8, out, &TIconv::SkipUtf8);
    return out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Characters that commonly come out wrong, with the Shift_JIS every code page
// must give and their forms in ISO-2022-JP and EUC-JP (empty: none).
struct TCharRow {
    const char* name;
    std::string utf8;
    std::string sjis;
    std::string jis;
    std::string euc;
};

void PrintTo(const TCharRow& r, std::ostream* os) {
    *os << r.name;
}

class TroublesomeCharacters : public testing::TestWithParam<TCharRow> {};

TEST_P(TroublesomeCharacters, ComeOutAlikeFromEveryCodePage) {
    const TCharRow& r = GetParam();
    EXPECT_EQ(TCodePageConv::ToSjis(r.utf8, kUtf8), r.sjis) << "UTF-8";
    EXPECT_EQ(TCodePageConv::ToSjis(ToUtf7(r.utf8), kUtf7), r.sjis) << "UTF-7";
    if (!r.jis.empty()) {
        EXPECT_EQ(TCodePageConv::ToSjis(r.jis, kJis), r.sjis) << "ISO-2022-JP";
    }
    if (!r.euc.empty()) {
        EXPECT_EQ(TCodePageConv::ToSjis(r.euc, kEuc), r.sjis) << "EUC-JP";
    }
    EXPECT_EQ(TCodePageConv::ToSjis(r.sjis, 932), r.sjis) << "Shift_JIS";
}

INSTANTIATE_TEST_SUITE_P(
    Table, TroublesomeCharacters,
    testing::Values(TCharRow{"wave dash", "〜", "\x81\x60", "\x1B$B!A\x1B(B", "\xA1\xC1"},
                    TCharRow{"fullwidth tilde", "～", "\x81\x60", "", ""},
                    TCharRow{"double vertical line", "‖", "\x81\x61", "\x1B$B!B\x1B(B", "\xA1\xC2"},
                    TCharRow{"parallel to", "∥", "\x81\x61", "", ""},
                    TCharRow{"minus sign", "−", "\x81\x7C", "\x1B$B!]\x1B(B", "\xA1\xDD"},
                    TCharRow{"fullwidth hyphen-minus", "－", "\x81\x7C", "", ""},
                    TCharRow{"cent sign", "¢", "\x81\x91", "\x1B$B!q\x1B(B", "\xA1\xF1"},
                    TCharRow{"fullwidth cent sign", "￠", "\x81\x91", "", ""},
                    TCharRow{"pound sign", "£", "\x81\x92", "\x1B$B!r\x1B(B", "\xA1\xF2"},
                    TCharRow{"not sign", "¬", "\x81\xCA", "\x1B$B\"L\x1B(B", "\xA2\xCC"},
                    TCharRow{"em dash", "—", "\x81\x5C", "\x1B$B!=\x1B(B", "\xA1\xBD"},
                    TCharRow{"circled one", "①", "\x87\x40", "\x1B$B-!\x1B(B", "\xAD\xA1"},
                    TCharRow{"circled twenty", "⑳", "\x87\x53", "\x1B$B-4\x1B(B", "\xAD\xB4"},
                    TCharRow{"kabushiki-gaisha", "㈱", "\x87\x8A", "\x1B$B-j\x1B(B", "\xAD\xEA"},
                    TCharRow{"Roman numeral one", "Ⅰ", "\x87\x54", "\x1B$B-5\x1B(B", "\xAD\xB5"},
                    // IBM extensions reach JIS only through the NEC-selected rows; the
                    // result is the form CP932 prefers, as from UTF-8.
                    TCharRow{"small Roman numeral one", "ⅰ", "\xFA\x40", "\x1B$B|q\x1B(B",
                             "\x8F\xF3\xF3"},
                    TCharRow{"IBM kanji taka", "髙", "\xFB\xFC", "\x1B$B|b\x1B(B", "\x8F\xF4\xFB"},
                    // Row 13 duplicate of a row 2 character.
                    TCharRow{"because", "∵", "\x81\xE6", "\x1B$B-z\x1B(B", "\xAD\xFA"},
                    TCharRow{"half-width katakana", "ｱ", "\xB1", "\x1B(I1\x1B(B", "\x8E\xB1"},
                    TCharRow{"emoji", "😀", "?", "", ""},
                    TCharRow{"kanji", "日本語", "\x93\xFA\x96\x7B\x8C\xEA", "\x1B$BF|K\\8l\x1B(B",
                             "\xC6\xFC\xCB\xDC\xB8\xEC"}));

struct TCase {
    const char* name;
    std::string in;
    std::string out;
};
void PrintTo(const TCase& c, std::ostream* os) {
    *os << c.name;
}

class Iso2022Jp : public testing::TestWithParam<TCase> {};

TEST_P(Iso2022Jp, Decodes) {
    const std::string out = TCodePageConv::ToSjis(GetParam().in, kJis);
    EXPECT_EQ(out, GetParam().out);
    EXPECT_TRUE(sjis::IsValid(out));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Iso2022Jp,
    testing::Values(
        TCase{"old kanji escape", "\x1B$@0!", "\x88\x9F"},
        TCase{"long kanji escape", "\x1B$(B0!\x1B(B", "\x88\x9F"},
        TCase{"JIS Roman", "\x1B(J\\~\x1B(B", "\\~"},
        TCase{"JIS X 0212 characters", "\x1B$(D0!0!\x1B(Ba", "??a"},
        TCase{"JIS X 0213 is unknown", "\x1B$(Q0!\x1B(Ba", "??a"},
        TCase{"GB 2312 is unknown", "\x1B$A0!\x1B(B", "??"},
        TCase{"unknown single-byte set", "\x1B(Zab", "?ab"}, TCase{"single shift", "\x1BN!", "?!"},
        TCase{"revision announcer", "\x1B&@\x1B$B0!", "\x88\x9F"},
        TCase{"cut escape", "a\x1B$", "a?$"}, TCase{"escape at the end", "a\x1B", "a?"},
        TCase{"unassigned row", "\x1B$B)!\x1B(B", "?"}, TCase{"row 85", "\x1B$Bu!\x1B(B", "?"},
        TCase{"line break inside kanji", "\x1B$B0!\r\n0!\x1B(B", "\x88\x9F\r\n\x88\x9F"},
        TCase{"lone last kanji byte", "\x1B$B0", "?"},
        TCase{"broken pair",
              "\x1B$B0\x80"
              "0!",
              "??\x88\x9F"},
        TCase{"Shift_JIS among JIS",
              "\x1B(B\x88\x9F\x80"
              "a",
              "\x88\x9F?a"},
        TCase{"shift out without escape",
              "\x0E"
              "1\x0F"
              "a",
              "\xB1"
              "a"},
        TCase{"kana escape", "\x1B(I16\x1B(B", "\xB1\xB6"},
        TCase{"byte outside the kana range", "\x1B(Ix", "?"},
        TCase{"shift in returns to kanji",
              "\x1B$B\x0E"
              "1\x0F"
              "0!",
              "\xB1\x88\x9F"},
        TCase{"plain ASCII", "Hello\r\n", "Hello\r\n"}, TCase{"empty", "", ""},
        TCase{"kanji run broken by DEL and a blank", "\x1B$B0!\x7F 0!", "\x88\x9F? \x88\x9F"},
        TCase{"roman run with DEL, kana and a lone lead byte", "ab\x7F\xB1\x81", "ab\x7F\xB1?"}));

TEST(Iso2022Jp, MislabelledBodyIsReadAsUtf8WhenValid) {
    EXPECT_EQ(TCodePageConv::ToSjis("日本語 text", kJis), Sj("日本語 text"));
}

TEST(Iso2022Jp, MislabelledBodyIsReadAsEucJpOrShiftJis) {
    const std::string sjis = Sj("お世話になっております。ｱｲｳ");
    EXPECT_EQ(TCodePageConv::ToSjis(sjis, kJis), sjis);
    // An EUC-JP bounce labelled ISO-2022-JP used to come out as katakana.
    EXPECT_EQ(TCodePageConv::ToSjis("\xBC\xA1\xA4\xCE\xA5\xA2\xA5\xC9\xA5\xEC\xA5\xB9", kJis),
              Sj("次のアドレス"));
    EXPECT_EQ(TCodePageConv::ToSjis("ok \x80\xFF", kJis), "ok ??");
}

TEST(Iso2022Jp, GoldenBody) {
    const std::filesystem::path dir = KESTRIFY_TEST_DATA_DIR "/codeconv";
    const std::string expected = ReadFile(dir / "body.expected.utf8");
    const struct {
        const char* file;
        int codePage;
    } inputs[] = {
        {"body.iso2022jp", kJis}, {"body.eucjp", kEuc}, {"body.utf7", kUtf7}, {"body.utf8", kUtf8}};
    for (const auto& in : inputs) {
        const std::string sjis = TCodePageConv::ToSjis(ReadFile(dir / in.file), in.codePage);
        EXPECT_EQ(Utf(sjis), expected) << in.file;
    }
}

TEST(EucJp, UnholdableAndCutCharactersBecomeOneQuestionMarkEach) {
    EXPECT_EQ(TCodePageConv::ToSjis("a\x8F\xB0\xA1"
                                    "b\xC6\xFC",
                                    kEuc),
              "a?b\x93\xFA");
    EXPECT_EQ(TCodePageConv::ToSjis("a\xA4", kEuc), "a?");
    EXPECT_EQ(TCodePageConv::ToSjis("a\xA4"
                                    "b",
                                    kEuc),
              "a?b");
}

TEST(Utf7, DecodesShiftedRunsAndPlus) {
    EXPECT_EQ(TCodePageConv::ToSjis("+ZeVnLIqe-", kUtf7), Sj("日本語"));
    EXPECT_EQ(TCodePageConv::ToSjis("a+-b", kUtf7), "a+b");
    EXPECT_EQ(TCodePageConv::ToSjis("Fr+APY-sche", kUtf7), "Fr?sche");  // no o-umlaut in CP932
}

TEST(Utf8, DropsByteOrderMarkAndMarksDamagedBytes) {
    EXPECT_EQ(TCodePageConv::ToSjis("\xEF\xBB\xBF"
                                    "abc",
                                    kUtf8),
              "abc");
    EXPECT_EQ(TCodePageConv::ToSjis("a\xFF"
                                    "b",
                                    kUtf8),
              "a?b");
    EXPECT_EQ(TCodePageConv::ToSjis("a\xE6\x97", kUtf8), "a?");
}

TEST(CodePage, UnknownCodePagesAreLeftUnchanged) {
    // 932 and 1252 used to be left unchanged too: 1252 is now converted and
    // 932 marks its broken bytes (see NamedCharsets).
    const std::string bytes = "caf\xE9 \x1B$B0!";
    for (const int cp : {0, 20127}) {
        EXPECT_EQ(TCodePageConv::ToSjis(bytes, cp), bytes) << cp;
    }
}

struct TNamedCase {
    const char* charset;
    std::string bytes;
    std::string sjis;
};

class NamedCharsets : public testing::TestWithParam<TNamedCase> {};

TEST_P(NamedCharsets, ConvertToShiftJis) {
    EXPECT_EQ(TCodePageConv::CharsetToSjis(GetParam().bytes, GetParam().charset), GetParam().sjis);
}

INSTANTIATE_TEST_SUITE_P(CodePage, NamedCharsets,
                         testing::Values(
                             // windows-1252 letters and quotes; CP932 has no e-acute.
                             TNamedCase{"iso-8859-1",
                                        "\xC9"
                                        "chec entr\xE9"
                                        "e wasn\x92t",
                                        "?chec entr?e wasn" + Sj("’") + "t"},
                             TNamedCase{"windows-1252", "\x93Hi\x94", Sj("“Hi”")},
                             TNamedCase{"ISO-8859-15", "5 \xA4", "5 ?"},
                             TNamedCase{"koi8-r", "\xF0\xD2\xC9", Sj("При")},
                             TNamedCase{"iso-8859-5", "\xBF\xE0\xD8", Sj("При")},
                             TNamedCase{"gbk", "\xC4\xE3\xBA\xC3", "?" + Sj("好")},
                             TNamedCase{"big5", "\xA4\xA4\xA4\xE5", Sj("中文")},
                             TNamedCase{"euc-kr", "\xC7\xD1", "?"},
                             TNamedCase{"us-ascii", "\xA4\xB3\xA4\xF3", Sj("こん")},
                             TNamedCase{"Shift_JIS", "a\x82\xA0\x82", "a\x82\xA0?"},
                             // Unknown to iconv, or no plain name: read like unlabelled text.
                             TNamedCase{"x-unknown", "\xE3\x81\x82", Sj("あ")},
                             TNamedCase{"utf-8//TRANSLIT", "\xE3\x81\x82", Sj("あ")}));

struct TGuessCase {
    const char* name;
    std::string bytes;
    int codePage;
};

class GuessJapanese : public testing::TestWithParam<TGuessCase> {};

TEST_P(GuessJapanese, PicksTheLikelyCharset) {
    EXPECT_EQ(TCodePageConv::GuessJapanese(GetParam().bytes), GetParam().codePage)
        << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    CodePage, GuessJapanese,
    testing::Values(TGuessCase{"utf-8", "日本語", kUtf8},
                    // Valid as Shift_JIS half-width katakana too; the kana score decides.
                    TGuessCase{"euc-jp kana", "\xA4\xB3\xA4\xF3\xA4\xCB\xA4\xC1\xA4\xCF", kEuc},
                    TGuessCase{"euc-jp kanji", "\xCB\xDC\xCA\xB8", kEuc},
                    TGuessCase{"shift_jis", "\x82\xB1\x82\xF1\x82\xC9\x82\xBF\x82\xCD", 932},
                    TGuessCase{"half-width katakana", "\xB1\xB2\xB3", 932}));

// Appending gives what ToSjis gives, after what the text already holds.
TEST(CodePage, AppendSjisAppendsWhatToSjisGives) {
    const struct {
        std::string text;
        int codePage;
    } cases[] = {{"\x1B$BF|K\\\x1B(B", kJis},
                 {"a\x0E\x31\x0Fb", kJis},
                 {"\x93\xFA", kJis},
                 {"plain", kJis},
                 {"\xC6\xFC\xCB\xDC\x8F\xA2", kEuc},
                 {"\xE6\x97\xA5\xFF", kUtf8},
                 {"\xEF\xBB\xBF\xE6\x97\xA5", kUtf8},
                 {"+ZeVnLIqe-", kUtf7},
                 {"\x93\xFA\x80", 932},
                 {"caf\xE9", 1252}};
    for (const auto& c : cases) {
        std::string out = "head";
        TCodePageConv::AppendSjis(c.text, c.codePage, out);
        EXPECT_EQ(out, "head" + TCodePageConv::ToSjis(c.text, c.codePage)) << c.codePage;
    }
}

TEST(CodePage, ConvertsOnSeveralThreadsAtOnce) {
    const std::string jis = "\x1B$BF|K\\8l-!|b\x1B(B abc";
    const std::string utf8 = "日本語①髙 abc";
    const std::string expected = Sj("日本語①髙 abc");
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                failures[t] += TCodePageConv::ToSjis(jis, kJis) != expected;
                failures[t] += TCodePageConv::ToSjis(utf8, kUtf8) != expected;
                failures[t] += TCodePageConv::ToSjis(ToUtf7(utf8), kUtf7) != expected;
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}

// Every JIS X 0208 row decoded by two threads that meet on each row the
// first time it is needed (the rows are read on first use): each pair is
// the character Windows reads at its Shift_JIS position, in the form CP932
// prefers, and "?" where there is none.
TEST(Iso2022Jp, EveryRowFromTwoThreads) {
    const auto expectedRow = [](int c1) {
        TIconv toUnicode("UTF-8", "CP932");
        TIconv fromUnicode("CP932", "UTF-8");
        std::string out;
        for (int c2 = 0x21; c2 <= 0x7E; ++c2) {
            const int lead = ((c1 - 0x21) >> 1) + (c1 <= 0x5E ? 0x81 : 0xC1);
            const int trail = (c1 & 1) ? (c2 + (c2 < 0x60 ? 0x1F : 0x20)) : c2 + 0x7E;
            const std::string sjis{static_cast<char>(lead), static_cast<char>(trail)};
            std::string utf8, back;
            toUnicode.Convert(sjis, utf8, &TIconv::SkipSjis, "");
            fromUnicode.Convert(utf8, back, &TIconv::SkipUtf8, "");
            out += utf8.empty() ? "?" : back.size() == 2 ? back : sjis;
        }
        return out;
    };
    const auto compare = [&](bool upwards, std::string& failure) {
        for (int i = 0; i < 94 && failure.empty(); ++i) {
            const int c1 = upwards ? 0x21 + i : 0x7E - i;
            std::string text = "\x1B$B";
            for (int c2 = 0x21; c2 <= 0x7E; ++c2) {
                text += {static_cast<char>(c1), static_cast<char>(c2)};
            }
            if (TCodePageConv::ToSjis(text + "\x1B(B", kJis) != expectedRow(c1)) {
                failure = "row " + std::to_string(c1);
            }
        }
    };
    ExpectRightFromTwoThreads(compare);
}

TEST(CodePage, RealJisBodyFromTheCorpus) {
    const std::string mail = ReadFile(CorpusFile("eml/rubymail-japanese_iso_2022.eml"));
    const std::string body = mail.substr(mail.find("\r\n\r\n") + 4);
    EXPECT_EQ(TCodePageConv::ToSjis(body, kJis), Sj("すみません。\r\n\r\n"));
}

}  // namespace
