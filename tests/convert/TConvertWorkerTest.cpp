#include "convert/TConvertWorker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "TFakeMailStore.h"
#include "TParamMaker.h"

namespace {

using TEnd = TConvertOutcome::TEnd;
using TFailure = TFakeReader::TFailure;

std::unique_ptr<TCSVConverter> Converter(std::unique_ptr<TFakeReader> reader) {
    const TOrderedParamString subject = PlainParam(
        "Subject:", 0, "subject", TOrderedParamString::RowSingle, TOrderedParamString::PosHeader);
    return std::make_unique<TCSVConverter>(
        std::move(reader),
        std::make_unique<TConvertParam>(std::vector<TOrderedParamString>{subject}));
}

// What a window sees when it polls the worker until the end.
struct TSeen {
    int count = -1;
    TResultTable rows{2};
    std::vector<int> questions;  // mail numbers asked about
    std::vector<std::size_t> rowsWhenAsked;
    int position = 0;
    TConvertOutcome end;
};

TSeen Poll(TConvertWorker& worker, const std::function<bool(int mail)>& answer) {
    TSeen seen;
    while (true) {
        TConvertWorker::TNews news = worker.Take();
        if (news.start) {
            seen.count = news.start->count;
        }
        news.rows.MoveRowsTo(seen.rows);
        seen.position = news.position;
        if (news.question) {
            seen.questions.push_back(news.question->mailNumber);
            seen.rowsWhenAsked.push_back(static_cast<std::size_t>(seen.rows.RowCount()));
            worker.Answer(answer(news.question->mailNumber));
        }
        if (news.end) {
            seen.end = *news.end;
            return seen;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

TEST(ConvertWorker, HandsOverRowsInOrderAndWaitsForEachAnswer) {
    struct Case {
        int threads;
        bool goOn;
        TEnd end;
        std::size_t rows;
    };
    for (const Case& c : {Case{1, true, TEnd::Finished, 200}, Case{3, true, TEnd::Finished, 200},
                          Case{3, false, TEnd::Abandoned, 10}}) {
        auto reader = std::make_unique<TFakeReader>(200);
        reader->FailAt(10, TFailure::Reader).FailAt(150, TFailure::Regex);
        auto converter = Converter(std::move(reader));
        TConvertWorker worker(*converter);
        worker.Start(c.threads);
        const TSeen seen = Poll(worker, [&](int) { return c.goOn; });
        EXPECT_EQ(seen.count, 200);
        EXPECT_EQ(seen.end.end, c.end);
        ASSERT_EQ(static_cast<std::size_t>(seen.rows.RowCount()), c.rows) << c.threads;
        for (int i = 0; i < seen.rows.RowCount(); ++i) {
            const bool failed = i == 10 || i == 150;
            EXPECT_EQ(seen.rows.Row(i).Cells(),
                      (std::vector<std::string>{std::to_string(i + 1),
                                                failed ? "" : "s" + std::to_string(i)}));
        }
        // Nothing after a failed mail arrives before its answer.
        const std::vector<int> asked = c.goOn ? std::vector<int>{11, 151} : std::vector<int>{11};
        EXPECT_EQ(seen.questions, asked);
        EXPECT_EQ(seen.rowsWhenAsked.front(), 10u);
        EXPECT_EQ(seen.position, c.goOn ? 198 : 10);
    }
}

TEST(ConvertWorker, StopsOnRequestAndWhenDestroyedWithAQuestionOpen) {
    auto converter = Converter(std::make_unique<TFakeReader>(1000000));
    TConvertWorker worker(*converter);
    worker.Start(2);
    std::thread warner([&] {
        for (int i = 0; i < 1000; ++i) {
            worker.Warning("warning " + std::to_string(i));
        }
    });
    while (worker.Take().rows.RowCount() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    worker.RequestStop();
    warner.join();
    const TSeen seen = Poll(worker, [](int) { return true; });
    EXPECT_EQ(seen.end.end, TEnd::Stopped);
    EXPECT_LT(seen.end.converted, 1000000);
    const TConvertWorker::TNews last = worker.Take();
    EXPECT_EQ(last.warnings, 1000);

    auto failing = std::make_unique<TFakeReader>(5);
    failing->FailAt(1, TFailure::Reader);
    auto other = Converter(std::move(failing));
    {
        TConvertWorker asking(*other);
        asking.Start(1);
        while (!asking.Take().question) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }  // never answered: the destructor ends the loop
    SUCCEED();
}

// A window is told of the end and of a question at once, without waiting for
// its next tick: each call finds that news already there.
TEST(ConvertWorker, TellsOfTheEndAndOfQuestionsAtOnce) {
    auto reader = std::make_unique<TFakeReader>(20);
    reader->FailAt(4, TFailure::Reader);
    const auto converter = Converter(std::move(reader));
    TConvertWorker worker(*converter);
    std::mutex mutex;
    std::condition_variable told;
    int calls = 0;
    worker.SetUrgentNews([&] {
        std::lock_guard lock(mutex);
        ++calls;
        told.notify_one();
    });
    worker.Start(2);
    std::vector<std::string> news;
    for (int expected = 1; expected <= 2; ++expected) {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            told.wait_for(lock, std::chrono::seconds(10), [&] { return calls >= expected; }));
        lock.unlock();
        TConvertWorker::TNews taken = worker.Take();
        if (taken.question) {
            news.push_back("question " + std::to_string(taken.question->mailNumber));
            worker.Answer(true);
        }
        if (taken.end) {
            news.push_back("end");
        }
    }
    EXPECT_EQ(news, (std::vector<std::string>{"question 5", "end"}));
}
