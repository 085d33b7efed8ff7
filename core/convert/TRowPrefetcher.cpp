#include "convert/TRowPrefetcher.h"

#include <algorithm>
#include <system_error>

TRowPrefetcher::TRowPrefetcher(const TCSVConverter& converter, const TRowSink& packer, int count,
                               int threads, TLimits limits)
    : converter_(converter), packer_(packer), count_(count), limits_(limits) {
    const int n = std::max(threads, 1);
    slots_.resize(static_cast<std::size_t>(n * std::max(limits_.chunksPerThread, 1)));
    workers_.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        try {
            workers_.emplace_back([this] { Work(stop_.get_token()); });
        } catch (const std::system_error&) {
            break;  // a process or memory limit: the threads made so far do the work
        }
    }
}

TRowPrefetcher::~TRowPrefetcher() {
    // Wakes the waiting workers; each is joined as `workers_` goes, first.
    stop_.request_stop();
}

int TRowPrefetcher::ClaimSize() const {
    if (builtRows_ == 0) {
        return std::clamp(limits_.firstRows, 1, std::max(limits_.maxRows, 1));
    }
    const double perRow = static_cast<double>(builtBytes_) / static_cast<double>(builtRows_);
    const double rows = static_cast<double>(limits_.chunkBytes) / std::max(perRow, 1.0);
    return static_cast<int>(
        std::clamp(rows, 1.0, static_cast<double>(std::max(limits_.maxRows, 1))));
}

void TRowPrefetcher::Build(int first, int last, TRowChunk& chunk) const {
    chunk.Clear();
    chunk.first = first;
    for (int index = first; index < last && !stop_.stop_requested(); ++index) {
        try {
            packer_.Pack(index + 1, converter_.BuildRow(index), chunk.packed);
            chunk.errors.emplace_back();
        } catch (...) {
            chunk.errors.push_back(std::current_exception());
        }
        chunk.ends.push_back(chunk.packed.size());
    }
}

void TRowPrefetcher::Work(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    const long slotCount = static_cast<long>(slots_.size());
    while (true) {
        ++workersWaiting_;
        workAvailable_.wait(lock, stop, [&] {
            return nextRow_ >= count_ || nextToClaim_ < nextToTake_ + slotCount;
        });
        --workersWaiting_;
        if (stop.stop_requested() || nextRow_ >= count_) {
            return;
        }
        const long sequence = nextToClaim_++;
        const int first = nextRow_;
        const int last = first + std::min(ClaimSize(), count_ - first);
        nextRow_ = last;
        TRowChunk chunk;
        if (!spare_.empty()) {
            chunk = std::move(spare_.back());
            spare_.pop_back();
        }
        lock.unlock();
        Build(first, last, chunk);
        lock.lock();
        builtBytes_ += chunk.packed.size();
        builtRows_ += chunk.Size();
        TSlot& slot = slots_[static_cast<std::size_t>(sequence % slotCount)];
        slot.chunk = std::move(chunk);
        slot.ready = true;
        if (consumerWaiting_ && sequence == nextToTake_) {
            chunkReady_.notify_one();
        }
    }
}

bool TRowPrefetcher::Take(TRowChunk& chunk) {
    std::unique_lock lock(mutex_);
    if (nextToTake_ >= nextToClaim_ && nextRow_ >= count_) {
        return false;
    }
    TSlot& slot = slots_[static_cast<std::size_t>(nextToTake_ % static_cast<long>(slots_.size()))];
    if (!slot.ready) {
        consumerWaiting_ = true;
        chunkReady_.wait(lock, [&slot] { return slot.ready; });
        consumerWaiting_ = false;
    }
    chunk.Clear();
    if (chunk.packed.capacity() > 4 * limits_.chunkBytes) {
        chunk.packed.shrink_to_fit();  // a chunk of a few huge rows keeps no memory held
    }
    spare_.push_back(std::move(chunk));
    chunk = std::move(slot.chunk);
    slot.ready = false;
    ++nextToTake_;
    const bool wake = workersWaiting_ > 0;
    lock.unlock();
    if (wake) {
        workAvailable_.notify_one();
    }
    return true;
}
