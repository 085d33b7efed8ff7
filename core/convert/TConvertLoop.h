#pragma once
// The conversion loop, free of any user interface: fills a result table with
// one row per mail and reports to its host. Rows are built on the calling
// thread unless SetThreads() asks for helpers; the table, the progress and
// every question still go strictly in mail order on the calling thread.

#include <string>

#include "convert/TCSVConverter.h"
#include "convert/TConvertHost.h"
#include "convert/TResultTable.h"

struct TConvertOutcome {
    enum class TEnd {
        Finished,   // every mail was converted (some may have failed and been skipped)
        Stopped,    // the host asked to stop
        Abandoned,  // the host chose not to go on after a failed mail
        Failed,     // the loop itself failed; `message` says why
    };
    TEnd end = TEnd::Finished;
    std::string message;  // for Failed: the text to show (OK / Help)
    int count = 0;        // mails in the store
    int converted = 0;    // mails whose row was built
};

class TConvertLoop {
  public:
    // `table` must have the converter's two title rows.
    TConvertLoop(TCSVConverter& converter, TResultTable& table, TConvertHost& host)
        : converter_(converter), table_(table), host_(host) {}

    // 0 or 1: sequential. More: rows are built ahead on that many threads.
    void SetThreads(int threads) { threads_ = threads; }

    TConvertOutcome Run();

  private:
    TCSVConverter& converter_;
    TResultTable& table_;
    TConvertHost& host_;
    int threads_ = 0;
};
