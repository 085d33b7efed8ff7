#pragma once
// Builds the rows of mails 0 .. count-1 ahead of their use on worker threads,
// packs them there (TRowSink::Pack) and hands them out strictly in order, in
// chunks of consecutive rows. Destroying it stops the workers (a row being
// built is finished and dropped).
//
// A chunk holds about `chunkBytes` of packed rows: with small rows hundreds
// of them pass between threads at once (a hand-over per row costs more than
// building it), with large ones few, so the rows held ahead stay within a
// few chunks per thread however large the cells are.

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

#include "convert/TCSVConverter.h"
#include "convert/TRowChunk.h"
#include "convert/TRowSink.h"

class TRowPrefetcher {
  public:
    struct TLimits {
        int firstRows = 8;  // of each thread's first chunk: the first rows come soon
        int maxRows = 256;  // of any chunk
        std::size_t chunkBytes = 256 << 10;  // packed bytes a chunk aims at
        int chunksPerThread = 3;             // built or being built, not yet taken
    };

    TRowPrefetcher(const TCSVConverter& converter, const TRowSink& packer, int count, int threads,
                   TLimits limits);
    TRowPrefetcher(const TCSVConverter& converter, const TRowSink& packer, int count, int threads)
        : TRowPrefetcher(converter, packer, count, threads, TLimits()) {}
    ~TRowPrefetcher();
    TRowPrefetcher(const TRowPrefetcher&) = delete;
    TRowPrefetcher& operator=(const TRowPrefetcher&) = delete;

    // The worker threads that could be started: fewer than asked under a
    // process or memory limit, and with none no row ever comes.
    int Threads() const { return static_cast<int>(workers_.size()); }

    // Puts the next rows in mail order into `chunk` (its old buffers go back
    // to the workers). False once every row was taken.
    bool Take(TRowChunk& chunk);

  private:
    struct TSlot {
        bool ready = false;
        TRowChunk chunk;
    };

    void Work(const std::stop_token& stop);
    // Rows of the next claim, from the packed size of the rows so far.
    int ClaimSize() const;
    void Build(int first, int last, TRowChunk& chunk) const;

    const TCSVConverter& converter_;
    const TRowSink& packer_;
    const int count_;
    const TLimits limits_;
    std::vector<TSlot> slots_;  // by chunk sequence number modulo their count
    std::vector<TRowChunk> spare_;
    std::mutex mutex_;
    std::condition_variable_any workAvailable_;
    std::condition_variable chunkReady_;
    int nextRow_ = 0;       // first row of the next claim
    long nextToClaim_ = 0;  // sequence number of the next claim
    long nextToTake_ = 0;   // sequence number of the chunk Take gives next
    std::size_t builtBytes_ = 0;
    long builtRows_ = 0;
    int workersWaiting_ = 0;
    bool consumerWaiting_ = false;
    std::stop_source stop_;              // the workers' one stop, also asked while building
    std::vector<std::jthread> workers_;  // last: joined before the rest goes
};
