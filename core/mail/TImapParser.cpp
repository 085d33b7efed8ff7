#include "mail/TImapParser.h"

#include <algorithm>
#include <chrono>
#include <new>

#include "base/LineSplitter.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMail.h"

namespace {

// Mails asked for this far past the fetching are fetched from there on
// instead (the preview jumping to the end must not wait for every mail).
constexpr int kJumpBatches = 8;

}  // namespace

TImapParser::TImapParser(const std::string& sjisUrl, TImapAccess access, TBatching batching,
                         std::uint32_t afterUid)
    : access_(std::move(access)), batching_(batching) {
    const TImapUrl url = TImapUrl::Parse(TSjisUnicode::ToUtf8(sjisUrl));
    session_ = std::make_unique<TImapSession>(url, access_);
    selected_ = session_->Examine(url.folder);
    messages_ = session_->ListMessages(afterUid);
    arrivedOnce_.assign(messages_.size(), false);
    if (!messages_.empty()) {
        fetcher_ = std::thread(&TImapParser::FetchLoop, this);
    }
}

TImapParser::~TImapParser() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
    }
    session_->Cancel();  // a fetch under way ends now, not after its batch
    wanted_.notify_all();
    if (fetcher_.joinable()) {
        fetcher_.join();
    }
}

int TImapParser::GetCount() {
    const std::lock_guard lock(mutex_);
    if (fault_) {
        ThrowFault();
    }
    return static_cast<int>(messages_.size());
}

void TImapParser::ThrowFault() const {
    throw TKestrifyError(*fault_);
}

bool TImapParser::ShouldSend() const {
    if (fault_ || static_cast<int>(inFlight_.size()) >= batching_.pipelined) {
        return false;
    }
    if (demand_ >= 0) {
        return true;
    }
    if (next_ >= static_cast<int>(messages_.size())) {
        return false;
    }
    // Someone waits for a mail not fetched yet: what is held ahead is not
    // what they need, so it must not hold the fetching back.
    if (waiting_ > 0) {
        return true;
    }
    std::size_t mails = ready_.size();
    std::size_t bytes = readyBytes_;
    for (const TBatch& batch : inFlight_) {
        mails += static_cast<std::size_t>(batch.end - batch.first);
        bytes += batch.bytes;
    }
    const auto window = static_cast<std::size_t>(batching_.aheadBatches);
    return mails < static_cast<std::size_t>(batching_.mails) * window &&
           bytes < batching_.bytes * window;
}

TImapParser::TBatch TImapParser::NextBatch() const {
    // Up to the next batch on the way, so no mail is asked for twice.
    int limit = static_cast<int>(messages_.size());
    for (const TBatch& batch : inFlight_) {
        if (batch.first >= next_) {
            limit = std::min(limit, batch.first);
        }
    }
    TBatch batch{next_, next_, 0};
    while (batch.end < limit && batch.end - batch.first < batching_.mails &&
           (batch.end == batch.first ||
            batch.bytes + messages_[static_cast<std::size_t>(batch.end)].size <= batching_.bytes)) {
        batch.bytes += messages_[static_cast<std::size_t>(batch.end)].size;
        ++batch.end;
    }
    return batch;
}

std::vector<TImapParser::TBatch> TImapParser::TakeBatches() {
    std::vector<TBatch> batches;
    while (ShouldSend()) {
        if (demand_ >= 0) {
            if (!ready_.contains(demand_) && !InFlight(demand_)) {
                // Mails before the new place are for a place left behind.
                for (auto it = ready_.begin(); it != ready_.end() && it->first < demand_;) {
                    readyBytes_ -= it->second ? it->second->size() : 0;
                    it = ready_.erase(it);
                }
                next_ = floor_ = demand_;
            }
            demand_ = -1;
        }
        if (next_ >= static_cast<int>(messages_.size())) {
            break;
        }
        const TBatch batch = NextBatch();
        if (batch.end == batch.first) {
            // A batch asked for before a jump starts here: go on after it.
            for (const TBatch& sent : inFlight_) {
                next_ = sent.first == next_ ? sent.end : next_;
            }
            continue;
        }
        next_ = batch.end;
        inFlight_.push_back(batch);
        batches.push_back(batch);
    }
    return batches;
}

bool TImapParser::InFlight(int index) const {
    return std::any_of(inFlight_.begin(), inFlight_.end(), [index](const TBatch& batch) {
        return index >= batch.first && index < batch.end;
    });
}

void TImapParser::FetchLoop() {
    const TImapSession::TMailHandler arrived = [this](std::uint32_t uid, std::string_view raw) {
        Arrived(uid, raw);
    };
    while (true) {
        std::vector<TBatch> batches;
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, [this] { return closing_ || !inFlight_.empty() || ShouldSend(); });
            if (closing_) {
                return;
            }
            batches = TakeBatches();
        }
        std::optional<std::string> fault;
        try {
            for (const TBatch& batch : batches) {
                std::fill(arrivedOnce_.begin() + batch.first, arrivedOnce_.begin() + batch.end,
                          false);
                session_->SendFetch(std::span(messages_).subspan(
                    static_cast<std::size_t>(batch.first),
                    static_cast<std::size_t>(batch.end - batch.first)));
            }
            if (session_->FetchesSent() > 0) {
                session_->ReceiveFetch(arrived);
            }
        } catch (const std::bad_alloc&) {
            fault = TSjisUnicode::FromUtf8("メモリが不足しています。 (out of memory)");
        } catch (const std::exception& e) {
            fault = e.what();
        }
        const std::lock_guard lock(mutex_);
        if (fault) {
            fault_ = std::move(fault);
            arrived_.notify_all();
            return;
        }
        if (!inFlight_.empty()) {
            Completed(inFlight_.front());
            inFlight_.pop_front();
        }
        arrived_.notify_all();
    }
}

void TImapParser::Completed(const TBatch& batch) {
    for (int i = std::max(batch.first, floor_); i < batch.end; ++i) {
        if (!arrivedOnce_[static_cast<std::size_t>(i)]) {
            ready_.try_emplace(i, std::nullopt);
        }
    }
}

void TImapParser::Arrived(std::uint32_t uid, std::string_view raw) {
    const auto it = std::lower_bound(
        messages_.begin(), messages_.end(), uid,
        [](const TImapSession::TMessage& m, std::uint32_t value) { return m.uid < value; });
    if (it == messages_.end() || it->uid != uid) {
        return;  // not asked for
    }
    const auto index = static_cast<std::size_t>(it - messages_.begin());
    if (arrivedOnce_[index]) {
        return;
    }
    arrivedOnce_[index] = true;
    std::string copy(raw);
    const std::lock_guard lock(mutex_);
    if (static_cast<int>(index) < floor_ ||
        !ready_.try_emplace(static_cast<int>(index), std::move(copy)).second) {
        return;
    }
    readyBytes_ += raw.size();
    arrived_.notify_all();
}

std::unique_ptr<TBasicMail> TImapParser::GetMail(int index) {
    if (index < 0 || index >= static_cast<int>(messages_.size())) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("そのメールはありません"));
    }
    std::optional<std::string> raw;
    {
        std::unique_lock lock(mutex_);
        bool waiting = false;
        while (true) {
            if (const auto it = ready_.find(index); it != ready_.end()) {
                raw = std::move(it->second);
                readyBytes_ -= raw ? raw->size() : 0;
                ready_.erase(it);
                break;
            }
            if (fault_) {
                waiting_ -= waiting ? 1 : 0;
                ThrowFault();
            }
            const bool coming = index >= next_ && index < next_ + batching_.mails * kJumpBatches;
            if (!InFlight(index) && !coming) {
                demand_ = index;
            }
            if (!waiting) {
                waiting = true;
                ++waiting_;
            }
            wanted_.notify_all();
            arrived_.wait_for(lock, std::chrono::milliseconds(100));
            if (access_.stopRequested && access_.stopRequested()) {
                --waiting_;
                lock.unlock();
                session_->Cancel();
                throw TKestrifyError(TSjisUnicode::FromUtf8("中断しました"));
            }
        }
        waiting_ -= waiting ? 1 : 0;
        wanted_.notify_all();
    }
    const std::string uid = "UID " + std::to_string(Uid(index));
    if (!raw) {
        throw TKestrifyError(TSjisUnicode::FromUtf8(
            uid + ": このメールは IMAP サーバにもうありません (読んでいる間に削除されました)"));
    }
    std::vector<std::string_view> lines;
    TLineSplitter::AppendViews(*raw, lines, TLineSplitter::TZeroByte::kIsData);
    return std::make_unique<TMail>(lines, Options(), TMailOrigin{uid});
}
