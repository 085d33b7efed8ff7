#pragma once
// Reader of one folder on an IMAP server. The constructor connects, logs in
// and examines the folder (read-only: mails stay unread); the first
// GetCount lists its UIDs. From the first GetMail a thread of its own
// fetches the mails in batches (one UID FETCH of a few hundred mails or a
// few MB each), a bounded distance ahead of the mails asked for. The next batch is asked for before
// the last one has arrived, so the server never waits for the conversion, and the conversion gets
// each mail as soon as it is there. Mails are in UID order; a mail's origin
// in warnings is its UID.
// A fault of the connection makes GetCount() throw from then on, so a
// conversion ends as failed rather than with every later mail missing.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "imap/TImapAccess.h"
#include "imap/TImapSession.h"
#include "mail/TBasicMailParser.h"

class TImapParser : public TBasicMailParser {
  public:
    // How far the fetching runs ahead of the mails asked for (mails held
    // and on the way), the size of one UID FETCH, and how many of them are
    // on the way at once.
    struct TBatching {
        int mails = 250;
        std::size_t bytes = 2u << 20;
        int aheadBatches = 8;
        int pipelined = 6;
    };

    TImapParser(const std::string& sjisUrl, TImapAccess access, TBatching batching);
    TImapParser(const std::string& sjisUrl, TImapAccess access)
        : TImapParser(sjisUrl, std::move(access), TBatching{}) {}
    ~TImapParser() override;

    int GetCount() override;
    std::unique_ptr<TBasicMail> GetMail(int index) override;
    // Header blocks come in batches of their own (BODY.PEEK[HEADER]) while
    // no mail was asked for: telling new mails from old ones does not
    // download the old ones. Not while other threads read mails.
    void AppendRawHeader(int index, std::string& out) override;

    // A mail lives at its UID; the folder numbers its mails by UID, valid
    // while its UIDVALIDITY (the epoch) stays.
    TMailPlace Place(int index) const override;
    std::optional<TMailPlace::TNumbering> Numbering() const override;
    // For runs that convert only new mail, before the first GetCount: the
    // folder lists only the mails above `uid` when its UIDVALIDITY is still
    // `uidValidity` (so UIDs up to `uid` name the mails they named then);
    // false, and the whole folder, when it is not.
    bool ListAfter(std::uint32_t uidValidity, std::uint32_t uid) override;
    // Before the first GetMail: only the mails at `indexes` (ascending) are
    // read, as mails 0, 1, …; the others are not downloaded.
    bool KeepOnly(const std::vector<int>& indexes) override;
    // The folder for a record of what was converted from it: its URL with
    // the port and the folder as read.
    std::string StoreKey() const;
    std::uint32_t UidValidity() const { return selected_.uidValidity; }
    // The mails in the folder as it was examined, listed or not.
    int Exists() const { return static_cast<int>(selected_.exists); }
    // The highest UID listed (KeepOnly does not change it); 0 for none.
    std::uint32_t HighestUid() const { return highestUid_; }
    std::uint32_t Uid(int index) const { return messages_.at(static_cast<std::size_t>(index)).uid; }

    // Mails and bytes (as the server lists them; a mail once arrived, as it
    // is) held and on the way.
    struct TLoad {
        std::size_t mails = 0;
        std::size_t bytes = 0;
    };
    // The most held and on the way at once so far: within aheadBatches
    // batches, or one batch alone (of one large mail) while nothing else is.
    TLoad Peak() const;

  private:
    struct TBatch {
        int first = 0;
        int end = 0;
        std::size_t bytes = 0;
        std::size_t arrivedMails = 0;  // of this batch, while it is on the way
        std::size_t arrivedBytes = 0;  // their listed sizes
    };

    void List(std::uint32_t afterUid);
    void StartFetching();
    // Waits for mail `index` from the fetching thread.
    std::string Raw(int index);
    static std::string Gone(std::uint32_t uid);
    void FetchLoop(const std::stop_token& stop);
    // Under the lock: the batches to ask for now (none when the mails held
    // and on the way fill the window).
    std::vector<TBatch> TakeBatches();
    bool ShouldSend() const;
    TBatch NextBatch() const;
    TLoad Load() const;
    // Whether `batch` may be asked for now without passing the window.
    bool Fits(const TBatch& batch) const;
    // Somebody waits for a mail neither held nor on the way.
    bool Urgent() const;
    // Drops the furthest held mail that nobody waits for; false if none.
    bool Evict();
    void NotePeak();
    bool InFlight(int index) const;
    // The end of a batch: every mail it was asked for has arrived or is gone.
    void Completed(const TBatch& batch);
    void Arrived(std::uint32_t uid, std::string_view raw);
    [[noreturn]] void ThrowFault() const;

    TImapAccess access_;
    TBatching batching_;
    TImapUrl url_;
    std::unique_ptr<TImapSession> session_;
    TImapSession::TSelected selected_;
    bool listed_ = false;
    std::uint32_t highestUid_ = 0;
    std::vector<TImapSession::TMessage> messages_;
    std::once_flag startFetching_;
    std::atomic<bool> fetching_{false};
    std::map<int, std::string> headers_;  // a batch of header blocks, before any GetMail

    mutable std::mutex mutex_;
    std::condition_variable arrived_;                  // a mail, the end of a batch or a fault
    std::condition_variable_any wanted_;               // room ahead, a mail asked for, or the end
    std::map<int, std::optional<std::string>> ready_;  // nullopt: the server no longer has it
    std::size_t readyBytes_ = 0;
    TLoad peak_;
    int next_ = 0;                      // first mail of the next batch
    int floor_ = 0;                     // mails below arrive for a place left behind
    std::deque<TBatch> inFlight_;       // asked for, oldest first
    int demand_ = -1;                   // a mail asked for that no batch brings
    std::multiset<int> waitingFor_;     // mails GetMail calls wait for
    std::vector<bool> arrivedOnce_;     // per mail, since it was last asked for (fetching thread)
    std::optional<std::string> fault_;  // Shift_JIS message
    std::jthread fetcher_;              // stopped by the destructor
};
