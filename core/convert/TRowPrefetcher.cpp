#include "convert/TRowPrefetcher.h"

#include <algorithm>
#include <stdexcept>

TRowPrefetcher::TRowPrefetcher(const TCSVConverter& converter, int count, int threads, int window)
    : converter_(converter),
      count_(count),
      window_(std::max(window, 1)),
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
    while (true) {
        workAvailable_.wait(lock, [this] {
            return stopping_ || nextToBuild_ >= count_ || nextToBuild_ < nextToTake_ + window_;
        });
        if (stopping_ || nextToBuild_ >= count_) {
            return;
        }
        const int index = nextToBuild_++;
        lock.unlock();
        TSlot built;
        try {
            built.row = converter_.BuildRow(index);
        } catch (...) {
            built.error = std::current_exception();
        }
        built.ready = true;
        lock.lock();
        slots_[static_cast<std::size_t>(index % window_)] = std::move(built);
        rowReady_.notify_all();
    }
}

TCSVConverter::TRow TRowPrefetcher::Take(int index) {
    std::unique_lock lock(mutex_);
    if (index != nextToTake_ || index >= count_) {
        throw std::logic_error("TRowPrefetcher::Take out of order");
    }
    TSlot& slot = slots_[static_cast<std::size_t>(index % window_)];
    rowReady_.wait(lock, [&slot] { return slot.ready; });
    TSlot taken = std::move(slot);
    slot = TSlot();
    ++nextToTake_;
    lock.unlock();
    workAvailable_.notify_all();
    if (taken.error) {
        std::rethrow_exception(taken.error);
    }
    return std::move(taken.row);
}
