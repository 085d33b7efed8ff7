#pragma once
// One logged-in IMAP connection (libetpan), read-only: it examines a folder,
// lists its mails and fetches them in batches. Every failure throws
// TKestrifyError with a Japanese message and the server's own words. Every
// step has a deadline (TImapStream); a connection that failed or timed out
// is closed without another word.

#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imap/TImapAccess.h"
#include "imap/TImapStream.h"
#include "imap/TImapUrl.h"

class TImapSession {
  public:
    struct TMessage {
        std::uint32_t uid = 0;
        std::uint32_t size = 0;  // bytes, as the server counts them
    };
    struct TFolder {
        // UTF-8, full path with the server's delimiter; a damaged
        // modified UTF-7 run is kept as the server spelled it, so that
        // Examine finds the folder again.
        std::string name;
        char delimiter = 0;
        bool selectable = true;
        std::string display;  // as shown: U+FFFD for what cannot be read; empty: the name
    };
    struct TSelected {
        std::uint32_t uidValidity = 0;
        std::uint32_t exists = 0;
    };
    using TMailHandler = std::function<void(std::uint32_t uid, std::string_view raw)>;
    enum class TPart { kWhole, kHeader };  // BODY.PEEK[] or BODY.PEEK[HEADER]
    // The largest mail read; a larger one (by its listed size) is never
    // fetched and fails alone.
    static constexpr std::uint32_t kMaxMail = 256u << 20;

    // Connects, secures (TLS or STARTTLS) and logs in.
    TImapSession(const TImapUrl& url, const TImapAccess& access);
    ~TImapSession();
    TImapSession(const TImapSession&) = delete;
    TImapSession& operator=(const TImapSession&) = delete;

    // EXAMINE: the folder stays as it is on the server.
    TSelected Examine(const std::string& utf8Folder);
    // The mails of the examined folder with a UID above `afterUid`, by UID.
    std::vector<TMessage> ListMessages(std::uint32_t afterUid = 0);
    // One UID FETCH of BODY.PEEK[] for `messages`; `handler` gets each mail
    // on this thread as soon as it has arrived. A mail the server no longer
    // has is left out, and so is one larger than kMaxMail.
    void Fetch(std::span<const TMessage> messages, const TMailHandler& handler,
               TPart part = TPart::kWhole);
    // Fetch in two halves, so that several fetches can be on the way at
    // once: SendFetch asks without waiting, ReceiveFetch reads the answer to
    // the oldest fetch asked for (its mails may be mixed with mails of later
    // fetches where a server answers them side by side: `handler` gets those
    // too). The server works on the next batch while this one is converted.
    void SendFetch(std::span<const TMessage> messages, TPart part = TPart::kWhole);
    void ReceiveFetch(const TMailHandler& handler);
    std::size_t FetchesSent() const { return sentTags_.size(); }
    std::vector<TFolder> ListFolders();

    // From any thread: the connection closes at once.
    void Cancel() { stream_.Cancel(); }

  private:
    // Greets, secures and logs in on the connected stream.
    void Open(const TImapUrl& url, const TImapAccess& access);
    void Secure(const TImapUrl& url, const std::string& caFile);
    void LogIn(const TImapUrl& url, const std::string& secret);
    // LOGIN with the user and password as quoted strings or literals.
    int SendLogin(const std::string& user, const std::string& password);
    void Write(const std::string& bytes);
    // After a literal's size: waits for the server's "+".
    int AwaitContinuation();
    int ReadTagged();
    int ExamineName(const std::string& name);
    // Closes the connection: LOGOUT only on one that never failed.
    void Close() noexcept;
    [[noreturn]] void Fail(int code, const std::string& what);
    static void OnMail(struct mailimap_msg_att* att, void* context);
    // Gives one FETCH response's mail to the handler of the fetch under way.
    void Deliver(const struct mailimap_msg_att* att);

    TImapStream stream_;
    mailimap* imap_ = nullptr;
    bool failed_ = false;
    std::deque<std::size_t> sentCounts_;     // their mails
    std::size_t sentMails_ = 0;              // all of them
    std::deque<int> sentTags_;               // of fetches not answered yet, oldest first
    const TMailHandler* handler_ = nullptr;  // during ReceiveFetch
    std::exception_ptr handlerError_;
};
