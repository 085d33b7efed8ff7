#pragma once
// Runs the conversion loop on a thread of its own, so a window stays
// responsive, and keeps its news until the window takes them (on a timer):
// the start, the rows in mail order (in batches), the progress, a failed
// mail's question, the end. While a question waits for its answer the loop
// waits too: no later row is handed over before it.
//
// Header warnings of the reader may arrive from any thread; the latest one
// is passed on with the other news.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "convert/TConvertHost.h"
#include "convert/TConvertLoop.h"
#include "convert/TResultTable.h"
#include "convert/TRowSink.h"

class TConvertWorker : private TConvertHost, private TRowSink {
  public:
    struct TStart {
        int count = 0;
        bool multiLine = false;
    };
    struct TNews {
        std::optional<TStart> start;
        // The rows of the mails converted since (number, values), packed
        // on the worker's thread: whoever takes them frees no cell text
        // that another thread allocated.
        TResultTable rows;
        int position = 0;  // mails converted so far
        std::optional<TConvertError> question;
        std::optional<TConvertOutcome> end;
        std::optional<std::string> warning;  // the latest header warning (Shift_JIS)
        int warnings = 0;                    // all header warnings so far
    };

    explicit TConvertWorker(TCSVConverter& converter);
    // Stops the loop (a waiting question is answered No) and waits for it:
    // the loop's thread is the last member, so it goes first.
    ~TConvertWorker() override = default;
    TConvertWorker(const TConvertWorker&) = delete;
    TConvertWorker& operator=(const TConvertWorker&) = delete;

    // Called on the worker's thread when news should not wait for the next
    // Take on a timer: the end, or a question. Set before Start.
    void SetUrgentNews(std::function<void()> notify) { urgentNews_ = std::move(notify); }
    // Rows are built on `threads` threads (1: on the loop's own thread).
    // Never throws: when no thread can be made, the end (out of memory) is
    // the first news.
    void Start(int threads);
    // The loop stops before the next mail (its thread's stop).
    void RequestStop();
    // Everything new since the last call.
    TNews Take();
    // The answer to the question taken last: true goes on.
    void Answer(bool goOn);
    // From any thread.
    void Warning(const std::string& sjisMessage);

  private:
    void Run(std::stop_token stop);
    static TConvertOutcome OutOfMemory();
    void TellUrgently();

    void ConvertStarted(int count, bool multiLine) override;
    void MailConverted(int position, int count) override;
    bool ContinueAfterError(const TConvertError& error) override;
    void PutRow(int number, std::vector<std::string>&& values) override;
    void Pack(int number, std::vector<std::string>&& values, std::string& out) const override;
    void PutPacked(int number, std::string_view packed) override;

    TCSVConverter& converter_;
    const int columns_;
    int threads_ = 1;
    TResultTable packed_;  // rows: the worker's thread only; Pack reads just the width

    std::mutex mutex_;
    std::condition_variable_any answered_;
    TNews news_;
    std::optional<bool> answer_;
    std::function<void()> urgentNews_;
    std::stop_token stop_;  // the loop's: its thread only
    std::jthread thread_;   // last: stopped and joined before the rest goes
};
