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
// Header blocks asked for in one UID FETCH (about 1 KB each).
constexpr std::size_t kHeaderBatch = 1000;

}  // namespace

TImapParser::TImapParser(const std::string& sjisUrl, TImapAccess access, TBatching batching)
    : access_(std::move(access)),
      batching_(batching),
      url_(TImapUrl::Parse(TSjisUnicode::ToUtf8(sjisUrl))) {
    session_ = std::make_unique<TImapSession>(url_, access_);
    selected_ = session_->Examine(url_.folder);
}

TImapParser::~TImapParser() {
    fetcher_.request_stop();  // wakes its wait for work
    session_->Cancel();       // a fetch under way ends now, not after its batch
    if (fetcher_.joinable()) {
        fetcher_.join();
    }
}

int TImapParser::GetCount() {
    const std::lock_guard lock(mutex_);
    if (fault_) {
        ThrowFault();
    }
    if (!listed_) {
        List(0);  // no fetching yet: the session is this thread's
    }
    return static_cast<int>(messages_.size());
}

void TImapParser::List(std::uint32_t afterUid) {
    messages_ = session_->ListMessages(afterUid);
    highestUid_ = messages_.empty() ? 0 : messages_.back().uid;
    arrivedOnce_.assign(messages_.size(), false);
    listed_ = true;
}

bool TImapParser::ListAfter(std::uint32_t uidValidity, std::uint32_t uid) {
    const std::lock_guard lock(mutex_);
    if (listed_ || uid == 0 || uidValidity == 0 || selected_.uidValidity != uidValidity) {
        return false;
    }
    List(uid);
    return true;
}

bool TImapParser::KeepOnly(const std::vector<int>& indexes) {
    const std::lock_guard lock(mutex_);
    std::vector<TImapSession::TMessage> kept;
    kept.reserve(indexes.size());
    for (const int index : indexes) {
        kept.push_back(messages_.at(static_cast<std::size_t>(index)));
    }
    messages_ = std::move(kept);
    arrivedOnce_.assign(messages_.size(), false);
    headers_.clear();
    return true;
}

std::string TImapParser::StoreKey() const {
    return std::string(url_.security == TImapUrl::TSecurity::kTls ? "imaps://" : "imap://") +
           url_.user + "@" + url_.host + ":" + std::to_string(url_.port) + "/" + url_.folder;
}

TMailPlace TImapParser::Place(int index) const {
    TMailPlace place;
    place.kind = TMailPlace::TKind::Numbered;
    place.number = Uid(index);
    return place;
}

std::optional<TMailPlace::TNumbering> TImapParser::Numbering() const {
    return TMailPlace::TNumbering{StoreKey(), UidValidity(), HighestUid(), Exists()};
}

void TImapParser::AppendRawHeader(int index, std::string& out) {
    if (index < 0 || index >= static_cast<int>(messages_.size())) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("そのメールはありません"));
    }
    std::string raw;
    if (fetching_) {
        raw = Raw(index);
    } else {
        // No fetching thread yet: the session is still this thread's.
        if (!headers_.contains(index)) {
            headers_.clear();
            const auto first = static_cast<std::size_t>(index);
            const std::size_t count = std::min(messages_.size() - first, kHeaderBatch);
            session_->Fetch(
                std::span(messages_).subspan(first, count),
                [this, first, count](std::uint32_t uid, std::string_view header) {
                    const auto begin = messages_.begin() + static_cast<long>(first);
                    const auto end = begin + static_cast<long>(count);
                    const auto it = std::lower_bound(
                        begin, end, uid, [](const TImapSession::TMessage& m, std::uint32_t value) {
                            return m.uid < value;
                        });
                    if (it != end && it->uid == uid) {
                        headers_.try_emplace(static_cast<int>(it - messages_.begin()), header);
                    }
                },
                TImapSession::TPart::kHeader);
        }
        const auto it = headers_.find(index);
        if (it == headers_.end()) {
            throw TKestrifyError(Gone(Uid(index)));
        }
        raw = it->second;
    }
    std::vector<std::string_view> lines;
    TLineSplitter::AppendViews(raw, lines, TLineSplitter::TZeroByte::kIsData);
    AppendHeaderLines(lines, out);
}

void TImapParser::ThrowFault() const {
    throw TKestrifyError(*fault_);
}

TImapParser::TLoad TImapParser::Load() const {
    TLoad load{ready_.size(), readyBytes_};
    for (const TBatch& batch : inFlight_) {
        load.mails += static_cast<std::size_t>(batch.end - batch.first) - batch.arrivedMails;
        load.bytes += batch.bytes - batch.arrivedBytes;
    }
    return load;
}

bool TImapParser::Fits(const TBatch& batch) const {
    const TLoad load = Load();
    if (load.mails == 0) {
        return true;  // a batch of one large mail goes when nothing else is there
    }
    const auto window = static_cast<std::size_t>(batching_.aheadBatches);
    return load.mails + static_cast<std::size_t>(batch.end - batch.first) <=
               static_cast<std::size_t>(batching_.mails) * window &&
           load.bytes + batch.bytes <= batching_.bytes * window;
}

bool TImapParser::Urgent() const {
    return std::any_of(waitingFor_.begin(), waitingFor_.end(),
                       [this](int index) { return !ready_.contains(index) && !InFlight(index); });
}

bool TImapParser::Evict() {
    for (auto it = ready_.rbegin(); it != ready_.rend(); ++it) {
        if (!waitingFor_.contains(it->first)) {
            readyBytes_ -= it->second ? it->second->size() : 0;
            ready_.erase(std::next(it).base());
            return true;
        }
    }
    return false;
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
    // Someone waits for a mail neither held nor on the way: what is held
    // ahead is not what they need, so it makes room (TakeBatches).
    if (Urgent() && std::any_of(ready_.begin(), ready_.end(), [this](const auto& held) {
            return !waitingFor_.contains(held.first);
        })) {
        return true;
    }
    return Fits(NextBatch());
}

TImapParser::TBatch TImapParser::NextBatch() const {
    // Up to the next batch on the way, so no mail is asked for twice.
    int limit = static_cast<int>(messages_.size());
    for (const TBatch& batch : inFlight_) {
        if (batch.first >= next_) {
            limit = std::min(limit, batch.first);
        }
    }
    const auto size = [this](int index) -> std::size_t {
        const std::uint32_t bytes = messages_[static_cast<std::size_t>(index)].size;
        return bytes > TImapSession::kMaxMail ? 0 : bytes;  // never fetched
    };
    TBatch batch{next_, next_};
    while (batch.end < limit && batch.end - batch.first < batching_.mails &&
           (batch.end == batch.first || batch.bytes + size(batch.end) <= batching_.bytes)) {
        batch.bytes += size(batch.end);
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
        // Held mails nobody waits for, furthest first, give way to one
        // that somebody waits for; they are fetched again when asked for.
        while (!Fits(batch) && Urgent() && Evict()) {
        }
        if (!Fits(batch)) {
            break;
        }
        next_ = batch.end;
        inFlight_.push_back(batch);
        batches.push_back(batch);
        NotePeak();
    }
    return batches;
}

void TImapParser::NotePeak() {
    const TLoad load = Load();
    peak_.mails = std::max(peak_.mails, load.mails);
    peak_.bytes = std::max(peak_.bytes, load.bytes);
}

TImapParser::TLoad TImapParser::Peak() const {
    const std::lock_guard lock(mutex_);
    return peak_;
}

bool TImapParser::InFlight(int index) const {
    return std::any_of(inFlight_.begin(), inFlight_.end(), [index](const TBatch& batch) {
        return index >= batch.first && index < batch.end;
    });
}

void TImapParser::FetchLoop(const std::stop_token& stop) {
    const TImapSession::TMailHandler arrived = [this](std::uint32_t uid, std::string_view raw) {
        Arrived(uid, raw);
    };
    while (true) {
        std::vector<TBatch> batches;
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, stop, [this] { return !inFlight_.empty() || ShouldSend(); });
            if (stop.stop_requested()) {
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
    for (TBatch& batch : inFlight_) {
        if (static_cast<int>(index) >= batch.first && static_cast<int>(index) < batch.end) {
            ++batch.arrivedMails;
            batch.arrivedBytes += std::min<std::size_t>(it->size, TImapSession::kMaxMail);
            break;
        }
    }
    NotePeak();
    if (waitingFor_.contains(static_cast<int>(index))) {
        arrived_.notify_all();  // a wake-up per mail only for the mail waited for
    }
}

std::string TImapParser::Gone(std::uint32_t uid) {
    return TSjisUnicode::FromUtf8("UID " + std::to_string(uid) +
                                  ": このメールは IMAP サーバにもうありません "
                                  "(読んでいる間に削除されました)");
}

void TImapParser::StartFetching() {
    std::call_once(startFetching_, [this] {
        const std::lock_guard lock(mutex_);
        if (!listed_) {
            List(0);
        }
        if (!messages_.empty()) {
            fetcher_ = std::jthread([this](const std::stop_token& stop) { FetchLoop(stop); });
        }
        fetching_ = true;
    });
}

std::string TImapParser::Raw(int index) {
    StartFetching();
    std::optional<std::string> raw;
    {
        std::unique_lock lock(mutex_);
        const auto waiter = waitingFor_.insert(index);
        const auto leave = [this, waiter] {
            waitingFor_.erase(waiter);
            wanted_.notify_all();
        };
        while (true) {
            if (const auto it = ready_.find(index); it != ready_.end()) {
                raw = std::move(it->second);
                readyBytes_ -= raw ? raw->size() : 0;
                ready_.erase(it);
                leave();
                break;
            }
            if (fault_) {
                leave();
                ThrowFault();
            }
            const bool coming = index >= next_ && index < next_ + batching_.mails * kJumpBatches;
            if (!InFlight(index) && !coming) {
                demand_ = index;
            }
            wanted_.notify_all();
            arrived_.wait_for(lock, std::chrono::milliseconds(100));
            if (access_.stop.stop_requested()) {
                leave();
                lock.unlock();
                session_->Cancel();
                throw TKestrifyError(TSjisUnicode::FromUtf8("中断しました"));
            }
        }
    }
    if (!raw && messages_[static_cast<std::size_t>(index)].size > TImapSession::kMaxMail) {
        throw TKestrifyError(TSjisUnicode::FromUtf8(
            "UID " + std::to_string(Uid(index)) + ": メールが " +
            std::to_string(TImapSession::kMaxMail >> 20) +
            " MB より大きいため読みません (IMAP サーバの示す大きさ " +
            std::to_string(messages_[static_cast<std::size_t>(index)].size) + " バイト)"));
    }
    if (!raw) {
        throw TKestrifyError(Gone(Uid(index)));
    }
    return std::move(*raw);
}

std::unique_ptr<TBasicMail> TImapParser::GetMail(int index) {
    if (index < 0 || index >= static_cast<int>(messages_.size())) {
        throw TKestrifyError(TSjisUnicode::FromUtf8("そのメールはありません"));
    }
    const std::string raw = Raw(index);
    std::vector<std::string_view> lines;
    TLineSplitter::AppendViews(raw, lines, TLineSplitter::TZeroByte::kIsData);
    return std::make_unique<TMail>(lines, Options(),
                                   TMailOrigin{"UID " + std::to_string(Uid(index))});
}
