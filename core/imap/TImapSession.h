#pragma once
// One logged-in IMAP connection (libetpan), read-only: it examines a folder,
// lists its mails and fetches them in batches. Every failure throws
// TKestrifyError with a Japanese message and the server's own words.

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
        std::string name;  // UTF-8, full path with the server's delimiter
        char delimiter = 0;
        bool selectable = true;
    };
    struct TSelected {
        std::uint32_t uidValidity = 0;
        std::uint32_t exists = 0;
    };
    using TMailHandler = std::function<void(std::uint32_t uid, std::string_view raw)>;
    enum class TPart { kWhole, kHeader };  // BODY.PEEK[] or BODY.PEEK[HEADER]

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
    // has is left out.
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
    [[noreturn]] void Fail(int code, const std::string& what) const;
    static void OnMail(struct mailimap_msg_att* att, void* context);
    // Gives one FETCH response's mail to the handler of the fetch under way.
    void Deliver(const struct mailimap_msg_att* att);

    TImapStream stream_;
    mailimap* imap_ = nullptr;
    std::deque<int> sentTags_;               // of fetches not answered yet, oldest first
    const TMailHandler* handler_ = nullptr;  // during ReceiveFetch
    std::exception_ptr handlerError_;
};
