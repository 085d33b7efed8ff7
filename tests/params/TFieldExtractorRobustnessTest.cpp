// Extraction without the regular-expression engine, on damaged Shift_JIS
// text, and from several threads at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "TFakeMail.h"
#include "TParamMaker.h"
#include "TestText.h"
#include "params/TFieldExtractor.h"
#include "params/TMailAddressExtractor.h"
#include "regex/TJre.h"

namespace {

using Params = std::vector<TOrderedParamString>;

TValueMap Body(const TLines& lines, const Params& params) {
    return TFieldExtractor::ExtractValues(TFakeMail(lines), {}, params);
}

class WithoutRegexEngine : public testing::Test {
  protected:
    void SetUp() override { TJre::SetAvailableForTesting(false); }
    void TearDown() override { TJre::SetAvailableForTesting(true); }
};

TEST_F(WithoutRegexEngine, RegexKeysNeverMatchExceptCaret) {
    TOrderedParamString regex = BodyParam(0, "A:");
    regex.SetRegExt(true);
    TOrderedParamString caret = BodyParam(1, "^");
    caret.SetRegExt(true);
    const auto v = Body({"A: a", "whole"}, {regex, caret});
    EXPECT_EQ(v.at(0), "");
    EXPECT_EQ(v.at(1), "A: a");
}

TEST_F(WithoutRegexEngine, RegexEndStringsAreIgnored) {
    TOrderedParamString multi = MultiParam(0, "A:", "^--");
    multi.SetEndStrRegExp(true);
    TOrderedParamString single = BodyParam(1, "B:");
    single.SetEndStr(";");
    single.SetEndStrRegExp(true);
    const auto v = Body({"B: x;y", "A:", "a", "--", "b"}, {single, multi});
    EXPECT_EQ(v.at(1), "x;y");
    EXPECT_EQ(v.at(0), "a\r\n--\r\nb");
}

TEST_F(WithoutRegexEngine, AddressAndNameAreEmpty) {
    TFakeMail mail({"From: taro@example.jp"});
    mail.AddHeader("FROM:", "Taro <taro@example.jp>");
    TOrderedParamString name = HeaderParam(0, "From:");
    name.SetMailName(true);
    TOrderedParamString address = BodyParam(1, "From:");
    address.SetMailAddress(true);
    const auto v = TFieldExtractor::ExtractValues(mail, {name}, {address});
    EXPECT_EQ(v.at(0), "");
    EXPECT_EQ(v.at(1), "");
}

// Bodies as damaged mail delivers them: stray lead bytes, cut double-byte
// characters at line ends, runs of lead-range bytes.
const TLines kDamagedBody = {
    std::string("\x82") + " From: taro@example.jp",
    "Name: " + Sj("山田") + "\x82",
    "Memo:" + Sj("メモ").substr(0, 3),
    "Code: \xFC\xFC\xFC",
    std::string("\x81"),
};

TEST(DamagedText, RegexKeysAndAddressesStillWork) {
    TOrderedParamString from = BodyParam(0, " From:");
    from.SetRegExt(true);
    from.SetMailAddress(true);
    TOrderedParamString name = BodyParam(1, "Name:\\s*");
    name.SetRegExt(true);
    TOrderedParamString memo = BodyParam(2, "Memo:");
    memo.SetAutoFormat(10);
    memo.SetTrim(true);
    TOrderedParamString code = BodyParam(3, "[A-Z]ode:");
    code.SetRegExt(true);
    code.SetEndStr("\\xFC");
    code.SetEndStrRegExp(true);
    const auto v = Body(kDamagedBody, {from, name, memo, code});
    EXPECT_EQ(v.at(0), "taro@example.jp");
    EXPECT_EQ(v.at(1), Sj("山田") + "\x82");
    EXPECT_EQ(v.at(2), Sj("メモ").substr(0, 3));
    EXPECT_EQ(v.at(3), " \xFC\xFC\xFC");
}

TEST(DamagedText, EveryStepSurvivesEveryCutOfALine) {
    const std::string line = Sj("【氏名】　山田　太郎 <taro@example.jp> 様");
    TOrderedParamString key = BodyParam(0, Sj("【氏名】"));
    key.SetTrim(true);
    key.SetAutoFormat(10);
    key.SetEndStr(Sj("様"));
    TOrderedParamString regex = MultiParam(1, Sj("^【"), Sj("様$"));
    regex.SetRegExt(true);
    regex.SetEndStrRegExp(true);
    regex.SetMailAddress(true);
    for (std::size_t cut = 0; cut <= line.size(); ++cut) {
        const TLines body = {line.substr(0, cut), line.substr(cut), line.substr(1, cut)};
        EXPECT_NO_THROW(Body(body, {key, regex})) << cut;
        EXPECT_NO_THROW(TMailAddressExtractor::ExtractMailName(body[0] + body[2])) << cut;
    }
}

TEST(ExtractionThreads, ParallelMailsGiveTheSameValues) {
    TOrderedParamString name = BodyParam(0, Sj("お名前："));
    TOrderedParamString mail = BodyParam(1, Sj("メール"));
    mail.SetRegExt(true);
    mail.SetMailAddress(true);
    TOrderedParamString memo = MultiParam(2, Sj("【内容】"), "^-+$");
    memo.SetEndStrRegExp(true);
    const Params params = {name, mail, memo};

    std::vector<TFakeMail> mails;
    for (int i = 0; i < 8; ++i) {
        const std::string n = std::to_string(i);
        mails.emplace_back(TLines{Sj("お名前：客") + n, Sj("メール：u") + n + "@example.jp",
                                  Sj("【内容】"), "line " + n, "----"});
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 500; ++round) {
                // A mail belongs to one thread, as in a run (its body lines are
                // cached on first use); the parameters and their regexes are shared.
                const int i = t + 4 * (round % 2);
                const std::string n = std::to_string(i);
                const auto v = TFieldExtractor::ExtractValues(mails[i], {}, params);
                if (v.at(0) != Sj("客") + n || v.at(1) != "u" + n + "@example.jp" ||
                    v.at(2) != "line " + n) {
                    ++failures;
                }
            }
        });
    }
    for (auto& th : threads) {
        th.join();
    }
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
