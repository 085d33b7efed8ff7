#pragma once
// Ctrl-C (SIGINT), SIGTERM or SIGHUP during a conversion asks the run's stop
// (one std::stop_source, passed down to every wait and thread of the run):
// the loop stops before the next mail, as the result window's stop button
// does; nothing is saved and no half-written file is left. A second signal
// ends the program at once. A signal that was ignored when the program
// started (a job started in the background) stays ignored. SIGXFSZ is
// ignored: a file-size limit makes a write fail like a full disk.

#include <pthread.h>

#include <stop_token>
#include <thread>

class TStopSignal {
  public:
    static void Install();
    // The signal that asked to stop, 0 while none did.
    static int Received();
    static bool Requested() { return Received() != 0; }

    // While it lives, a stop signal asks `run`'s stop. A handler may not
    // ask it (that takes a lock), so a thread of its own does, then
    // interrupts the waits of the thread that made the relay (a lock, a
    // FIFO's reader, a full pipe), which see the stop when they return.
    class TRelay {
      public:
        explicit TRelay(std::stop_source run);
        ~TRelay();
        TRelay(const TRelay&) = delete;
        TRelay& operator=(const TRelay&) = delete;

      private:
        static void Run(const std::stop_token& own, std::stop_source run, pthread_t waiter);

        std::jthread thread_;
    };
};
