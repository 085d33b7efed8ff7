#pragma once
// Builds the rows of mails 0 .. count-1 ahead of their use on worker threads,
// at most `window` rows ahead of the consumer, and hands them out strictly in
// order. Destroying it stops the workers (a row being built is finished and
// dropped).
//
// Workers claim a few consecutive rows at a time and the two sides wake each
// other only when the other one waits: handing over every row through the
// lock and a wake-up costs more than building it.

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "convert/TCSVConverter.h"

class TRowPrefetcher {
  public:
    TRowPrefetcher(const TCSVConverter& converter, int count, int threads, int window);
    ~TRowPrefetcher();
    TRowPrefetcher(const TRowPrefetcher&) = delete;
    TRowPrefetcher& operator=(const TRowPrefetcher&) = delete;

    // The row of mail `index`, which must be the next one in order; rethrows
    // what building it threw.
    TCSVConverter::TRow Take(int index);

  private:
    struct TSlot {
        bool ready = false;
        TCSVConverter::TRow row;
        std::exception_ptr error;
    };

    void Work();

    const TCSVConverter& converter_;
    const int count_;
    const int window_;
    const int chunk_;  // rows a worker claims at once
    std::vector<TSlot> slots_;
    std::mutex mutex_;
    std::condition_variable workAvailable_;
    std::condition_variable rowReady_;
    int nextToBuild_ = 0;
    int nextToTake_ = 0;
    int workersWaiting_ = 0;
    bool consumerWaiting_ = false;
    std::atomic<bool> stopping_{false};  // also read while building, without the lock
    std::vector<std::thread> workers_;
};
