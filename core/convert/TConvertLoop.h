#pragma once
// The conversion loop, free of any user interface: hands one row per mail to
// a sink (a result table, a window, a stream) and reports to its host. Rows
// are built on the calling thread unless SetThreads() asks for helpers; the
// rows, the progress and every question still go strictly in mail order on
// the calling thread.

#include <stop_token>
#include <string>

#include "convert/TCSVConverter.h"
#include "convert/TConvertHost.h"
#include "convert/TRowSink.h"

struct TConvertOutcome {
    enum class TEnd {
        Finished,   // every mail was converted (some may have failed and been skipped)
        Stopped,    // the run's stop was asked
        Abandoned,  // the host chose not to go on after a failed mail
        Failed,     // the loop itself failed; `message` says why
    };
    TEnd end = TEnd::Finished;
    std::string message;       // for Failed: the text to show (OK / Help)
    bool outOfMemory = false;  // for Failed: memory ran out (the run ends with status 4)
    int count = 0;             // mails in the store
    int converted = 0;         // mails whose row was built
};

class TConvertLoop {
  public:
    // The sink gets the rows of the mails reached: after a stop, a "No" or
    // a failure of the loop itself, none of the later mails.
    TConvertLoop(TCSVConverter& converter, TRowSink& sink, TConvertHost& host)
        : converter_(converter), sink_(sink), host_(host) {}

    // 0 or 1: sequential. More: rows are built ahead on that many threads.
    void SetThreads(int threads) { threads_ = threads; }

    // Asks `stop` before every mail.
    TConvertOutcome Run(std::stop_token stop = {});

  private:
    TCSVConverter& converter_;
    TRowSink& sink_;
    TConvertHost& host_;
    int threads_ = 0;
};
