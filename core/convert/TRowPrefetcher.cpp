#include "convert/TRowPrefetcher.h"

#include <algorithm>
#include <stdexcept>

namespace {

// Rows a worker claims at once: enough that hand-overs between threads are
// rare, few enough that the first rows come out soon.
constexpr int kChunk = 32;

}  // namespace

TRowPrefetcher::TRowPrefetcher(const TCSVConverter& converter, int count, int threads, int window)
    : converter_(converter),
      count_(count),
      window_(std::max(window, 1)),
      chunk_(std::clamp(window_ / (2 * std::max(threads, 1)), 1, kChunk)),
      slots_(static_cast<std::size_t>(window_)) {
    const int n = std::max(threads, 1);
    workers_.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

TRowPrefetcher::~TRowPrefetcher() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    workAvailable_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void TRowPrefetcher::Work() {
    std::unique_lock lock(mutex_);
    std::vector<TSlot> built;
    while (true) {
        ++workersWaiting_;
        workAvailable_.wait(lock, [this] {
            return stopping_ || nextToBuild_ >= count_ || nextToBuild_ < nextToTake_ + window_;
        });
        --workersWaiting_;
        if (stopping_ || nextToBuild_ >= count_) {
            return;
        }
        const int first = nextToBuild_;
        const int last = std::min({count_, nextToTake_ + window_, first + chunk_});
        nextToBuild_ = last;
        lock.unlock();
        built.assign(static_cast<std::size_t>(last - first), TSlot());
        for (int index = first; index < last && !stopping_; ++index) {
            TSlot& slot = built[static_cast<std::size_t>(index - first)];
            try {
                slot.row = converter_.BuildRow(index);
            } catch (...) {
                slot.error = std::current_exception();
            }
            slot.ready = true;
        }
        lock.lock();
        for (int index = first; index < last; ++index) {
            slots_[static_cast<std::size_t>(index % window_)] =
                std::move(built[static_cast<std::size_t>(index - first)]);
        }
        if (consumerWaiting_) {
            rowReady_.notify_one();
        }
    }
}

TCSVConverter::TRow TRowPrefetcher::Take(int index) {
    std::unique_lock lock(mutex_);
    if (index != nextToTake_ || index >= count_) {
        throw std::logic_error("TRowPrefetcher::Take out of order");
    }
    TSlot& slot = slots_[static_cast<std::size_t>(index % window_)];
    if (!slot.ready) {
        consumerWaiting_ = true;
        rowReady_.wait(lock, [&slot] { return slot.ready; });
        consumerWaiting_ = false;
    }
    TSlot taken = std::move(slot);
    slot = TSlot();
    ++nextToTake_;
    // Waiting workers are woken once there is room for a whole claim (or
    // for the last rows), not for every freed slot.
    const int room = nextToTake_ + window_ - nextToBuild_;
    const bool wake = workersWaiting_ > 0 && (room >= chunk_ || nextToBuild_ + room >= count_);
    lock.unlock();
    if (wake) {
        workAvailable_.notify_all();
    }
    if (taken.error) {
        std::rethrow_exception(taken.error);
    }
    return std::move(taken.row);
}
