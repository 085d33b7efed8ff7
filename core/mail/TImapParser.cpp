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

TImapParser::TImapParser(const std::string& sjisUrl, TImapAccess access, TBatching batching)
    : access_(std::move(access)), batching_(batching) {
    const TImapUrl url = TImapUrl::Parse(TSjisUnicode::ToUtf8(sjisUrl));
    session_ = std::make_unique<TImapSession>(url, access_);
    selected_ = session_->Examine(url.folder);
    messages_ = session_->ListMessages();
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

bool TImapParser::ShouldFetch() const {
    if (fault_) {
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
    return waiting_ > 0 ||
           (static_cast<int>(ready_.size()) < batching_.mails * batching_.aheadBatches &&
            readyBytes_ < batching_.bytes * static_cast<std::size_t>(batching_.aheadBatches));
}

int TImapParser::BatchEnd(int first) const {
    const int count = static_cast<int>(messages_.size());
    int end = first;
    std::size_t bytes = 0;
    while (end < count && end - first < batching_.mails &&
           (end == first ||
            bytes + messages_[static_cast<std::size_t>(end)].size <= batching_.bytes)) {
        bytes += messages_[static_cast<std::size_t>(end)].size;
        ++end;
    }
    return end;
}

void TImapParser::FetchLoop() {
    while (true) {
        int first = 0;
        int end = 0;
        {
            std::unique_lock lock(mutex_);
            wanted_.wait(lock, [this] { return closing_ || ShouldFetch(); });
            if (closing_) {
                return;
            }
            if (demand_ >= 0) {
                if (!ready_.contains(demand_)) {
                    // Mails before the new place are for a place left behind.
                    for (auto it = ready_.begin(); it != ready_.end() && it->first < demand_;) {
                        readyBytes_ -= it->second ? it->second->size() : 0;
                        it = ready_.erase(it);
                    }
                    next_ = demand_;
                }
                demand_ = -1;
            }
            if (next_ >= static_cast<int>(messages_.size())) {
                continue;
            }
            first = next_;
            end = BatchEnd(first);
            next_ = end;
            inFlightFirst_ = first;
            inFlightEnd_ = end;
        }
        delivered_.assign(static_cast<std::size_t>(end - first), false);
        std::optional<std::string> fault;
        try {
            session_->Fetch(std::span(messages_).subspan(static_cast<std::size_t>(first),
                                                         static_cast<std::size_t>(end - first)),
                            [this, first, end](std::uint32_t uid, std::string_view raw) {
                                Arrived(first, end, uid, raw);
                            });
        } catch (const std::bad_alloc&) {
            fault = TSjisUnicode::FromUtf8("メモリが不足しています。 (out of memory)");
        } catch (const std::exception& e) {
            fault = e.what();
        }
        const std::lock_guard lock(mutex_);
        inFlightFirst_ = inFlightEnd_ = 0;
        if (fault) {
            fault_ = std::move(fault);
            arrived_.notify_all();
            return;
        }
        for (int i = first; i < end; ++i) {
            if (!delivered_[static_cast<std::size_t>(i - first)]) {
                ready_.try_emplace(i, std::nullopt);
            }
        }
        arrived_.notify_all();
    }
}

void TImapParser::Arrived(int first, int end, std::uint32_t uid, std::string_view raw) {
    const auto begin = messages_.begin() + first;
    const auto stop = messages_.begin() + end;
    const auto it = std::lower_bound(
        begin, stop, uid,
        [](const TImapSession::TMessage& m, std::uint32_t value) { return m.uid < value; });
    if (it == stop || it->uid != uid) {
        return;  // not asked for
    }
    const int index = static_cast<int>(it - messages_.begin());
    if (delivered_[static_cast<std::size_t>(index - first)]) {
        return;
    }
    delivered_[static_cast<std::size_t>(index - first)] = true;
    std::string copy(raw);
    const std::lock_guard lock(mutex_);
    readyBytes_ += copy.size();
    ready_.insert_or_assign(index, std::move(copy));
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
            const bool inFlight = index >= inFlightFirst_ && index < inFlightEnd_;
            const bool coming = index >= next_ && index < next_ + batching_.mails * kJumpBatches;
            if (!inFlight && !coming) {
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
