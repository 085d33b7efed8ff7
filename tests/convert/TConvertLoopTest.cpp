#include "convert/TConvertLoop.h"

#include <gtest/gtest.h>

#include "TFakeMailStore.h"
#include "TParamMaker.h"
#include "TestText.h"
#include "convert/TResultTable.h"

namespace {

using TEnd = TConvertOutcome::TEnd;
using TFailure = TFakeReader::TFailure;
using TRows = std::vector<std::vector<std::string>>;

class TRecordingHost : public TConvertHost {
  public:
    void ConvertStarted(int count, bool multiLine) override {
        events.push_back("start " + std::to_string(count) + (multiLine ? " multi" : ""));
    }
    void MailConverted(int position, int count) override {
        events.push_back(TConvertMessages::Progress(position, count));
        if (position == stopAfterMail) {
            stop.request_stop();
        }
    }
    bool ContinueAfterError(const TConvertError& error) override {
        events.push_back("error " + std::to_string(error.mailNumber) +
                         (error.regexError ? " regex " : " ") + error.message);
        texts.push_back(error.Text());
        const auto it = answers.find(error.mailNumber);
        return it == answers.end() || it->second;
    }

    std::vector<std::string> events;
    std::vector<std::string> texts;
    std::map<int, bool> answers;  // mail number -> go on?
    int stopAfterMail = 0;
    std::stop_source stop;
};

struct TRun {
    TResultTable table;
    TConvertOutcome outcome;
};

TRun Convert(std::unique_ptr<TFakeReader> reader, TConvertHost& host, int threads = 0,
             std::stop_token stop = {}) {
    const TOrderedParamString name = PlainParam("Name:", 1, "name", TOrderedParamString::RowSingle,
                                                TOrderedParamString::PosBody);
    const TOrderedParamString subject = PlainParam(
        "Subject:", 0, "subject", TOrderedParamString::RowSingle, TOrderedParamString::PosHeader);
    TCSVConverter converter(
        std::move(reader),
        std::make_unique<TConvertParam>(std::vector<TOrderedParamString>{name, subject}));
    TRun run{TResultTable(converter.GetFieldNames()), {}};
    TConvertLoop loop(converter, run.table, host);
    loop.SetThreads(threads);
    run.outcome = loop.Run(std::move(stop));
    return run;
}

TRows MailRows(const TResultTable& table) {
    TRows rows;
    for (int r = TResultTable::FirstMailRow; r < table.RowCount(); ++r) {
        rows.push_back(table.Row(r).Cells());
    }
    return rows;
}

}  // namespace

TEST(ConvertLoop, EmptyStoreKeepsTitleRowsOnly) {
    TRecordingHost host;
    const TRun run = Convert(std::make_unique<TFakeReader>(0), host);
    EXPECT_EQ(run.outcome.end, TEnd::Finished);
    EXPECT_EQ(run.table.RowCount(), 2);
    EXPECT_EQ(run.table.Row(0).Cells(), (std::vector<std::string>{"", "A", "B"}));
    EXPECT_EQ(run.table.Row(1).Cells(), (std::vector<std::string>{"", "subject", "name"}));
    EXPECT_EQ(host.events, (std::vector<std::string>{"start 0"}));
}

TEST(ConvertLoop, OneNumberedRowPerMail) {
    TRecordingHost host;
    const TRun run = Convert(std::make_unique<TFakeReader>(2), host);
    EXPECT_EQ(MailRows(run.table), (TRows{{"1", "s0", "n0"}, {"2", "s1", "n1"}}));
    EXPECT_EQ(host.events, (std::vector<std::string>{"start 2", "(1/2)", "(2/2)"}));
    EXPECT_EQ(run.outcome.converted, 2);
}

TEST(ConvertLoop, GoingOnAfterFailedMailLeavesItsRowEmpty) {
    TRecordingHost host;
    auto reader = std::make_unique<TFakeReader>(5);
    reader->FailAt(2, TFailure::Reader);
    const TRun run = Convert(std::move(reader), host);
    EXPECT_EQ(run.outcome.end, TEnd::Finished);
    EXPECT_EQ(MailRows(run.table), (TRows{{"1", "s0", "n0"},
                                          {"2", "s1", "n1"},
                                          {"3", "", ""},
                                          {"4", "s3", "n3"},
                                          {"5", "s4", "n4"}}));
    // The progress does not advance for the failed mail.
    EXPECT_EQ(host.events, (std::vector<std::string>{"start 5", "(1/5)", "(2/5)",
                                                     "error 3 broken mail 2", "(3/5)", "(4/5)"}));
    EXPECT_EQ(run.outcome.converted, 4);
}

TEST(ConvertLoop, AnsweringNoKeepsOnlyEarlierMails) {
    TRecordingHost host;
    host.answers[3] = false;
    auto reader = std::make_unique<TFakeReader>(5);
    reader->FailAt(2, TFailure::Reader);
    const TRun run = Convert(std::move(reader), host);
    EXPECT_EQ(run.outcome.end, TEnd::Abandoned);
    EXPECT_EQ(MailRows(run.table), (TRows{{"1", "s0", "n0"}, {"2", "s1", "n1"}}));
}

TEST(ConvertLoop, StopBeforeMailKeepsOnlyEarlierMails) {
    TRecordingHost host;
    host.stopAfterMail = 2;
    const TRun run = Convert(std::make_unique<TFakeReader>(5), host, 0, host.stop.get_token());
    EXPECT_EQ(run.outcome.end, TEnd::Stopped);
    EXPECT_EQ(MailRows(run.table), (TRows{{"1", "s0", "n0"}, {"2", "s1", "n1"}}));
}

TEST(ConvertLoop, ErrorQuestionNamesRegexErrors) {
    TRecordingHost host;
    auto reader = std::make_unique<TFakeReader>(5);
    reader->FailAt(2, TFailure::Regex).FailAt(3, TFailure::Other);
    Convert(std::move(reader), host);
    const std::string question =
        "\n\n処理を続行しますか？(続行するときは「はい」、終了するときは「いいえ」)";
    ASSERT_EQ(host.texts.size(), 2u);
    EXPECT_EQ(Utf(host.texts[0]),
              "正規表現エラー\n5中3番目のメールでエラーが発生しました。\nbad pattern" + question);
    EXPECT_EQ(Utf(host.texts[1]),
              "5中4番目のメールでエラーが発生しました。\n原因不明のエラーです。" + question);
}

TEST(ConvertLoop, CountFailureEndsLoop) {
    TRecordingHost host;
    auto reader = std::make_unique<TFakeReader>(5);
    reader->FailCountFrom(3);  // the first count and the check before mail 1 succeed
    const TRun run = Convert(std::move(reader), host);
    EXPECT_EQ(run.outcome.end, TEnd::Failed);
    EXPECT_EQ(Utf(run.outcome.message), "5中2番目のメールでエラーが発生しました。\ncount failed");
    EXPECT_EQ(MailRows(run.table), (TRows{{"1", "s0", "n0"}}));

    TRecordingHost other;
    auto broken = std::make_unique<TFakeReader>(5);
    broken->FailCountFrom(1);
    const TRun failed = Convert(std::move(broken), other);
    EXPECT_EQ(failed.outcome.end, TEnd::Failed);
    EXPECT_EQ(failed.table.RowCount(), 2);
    EXPECT_TRUE(other.events.empty());
}

TEST(ConvertLoop, StoreChangedUnderTheReaderFailsTheRunOnceOnAnyThreads) {
    // The mails after the change fail too: none of them asks, one message.
    for (const int threads : {0, 3}) {
        TRecordingHost host;
        auto reader = std::make_unique<TFakeReader>(200);
        for (int i = 4; i < 200; ++i) {
            reader->FailAt(i, i == 150 ? TFailure::Reader : TFailure::StoreChanged);
        }
        const TRun run = Convert(std::move(reader), host, threads);
        EXPECT_EQ(run.outcome.end, TEnd::Failed) << threads;
        EXPECT_EQ(Utf(run.outcome.message).rfind("200中5番目のメールでエラーが発生しました。\n", 0),
                  0u)
            << Utf(run.outcome.message);
        EXPECT_NE(Utf(run.outcome.message).find("短くなりました"), std::string::npos);
        EXPECT_EQ(run.table.RowCount(), 2 + 4) << threads;
        EXPECT_EQ(host.texts.size(), 0u) << threads;
    }
}

TEST(ConvertLoop, ThreadsGiveTheSameTableAndQuestionsInOrder) {
    const auto makeReader = [] {
        auto reader = std::make_unique<TFakeReader>(300);
        reader->FailAt(7, TFailure::Reader).FailAt(8, TFailure::Regex).FailAt(250, TFailure::Other);
        return reader;
    };
    TRecordingHost sequentialHost;
    const TRun sequential = Convert(makeReader(), sequentialHost);
    TRecordingHost parallelHost;
    const TRun parallel = Convert(makeReader(), parallelHost, 3);
    EXPECT_EQ(MailRows(parallel.table), MailRows(sequential.table));
    EXPECT_EQ(parallelHost.events, sequentialHost.events);
    EXPECT_EQ(parallel.outcome.converted, 297);
}

TEST(ConvertLoop, ThreadsStopCleanly) {
    TRecordingHost host;
    host.answers[9] = false;
    auto reader = std::make_unique<TFakeReader>(1000);
    reader->FailAt(8, TFailure::Reader);
    const int before = TFakeMail::live;
    const TRun run = Convert(std::move(reader), host, 4);
    EXPECT_EQ(run.outcome.end, TEnd::Abandoned);
    EXPECT_EQ(run.table.RowCount(), 2 + 8);
    EXPECT_EQ(TFakeMail::live, before);
}
