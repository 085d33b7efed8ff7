#pragma once
// The connection under a libetpan IMAP session: a TCP socket with a
// deadline for each step (connect, TLS, greeting, each command) and TLS by
// GnuTLS with the certificate checked against the system's trust store, an
// optional CA file and the server's name. There is no way to turn the check
// off, and no plain connection past STARTTLS. What the server sends passes
// a TImapReplyGuard before libetpan holds it: past its limits the
// connection ends.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>

#include <gnutls/gnutls.h>
#include <libetpan/libetpan.h>

#include "imap/TImapAccess.h"
#include "imap/TImapReplyGuard.h"

class TImapStream {
  public:
    using TLimits = TImapAccess::TTimeouts;

    // Asking `stop` cancels the connection (Cancel) from the asking thread.
    TImapStream(const std::stop_token& stop, TLimits limits);
    ~TImapStream();
    TImapStream(const TImapStream&) = delete;
    TImapStream& operator=(const TImapStream&) = delete;

    // How a step's deadline runs: from the step's start, or from the last
    // progress (a fetch that is slow but moving goes on).
    enum class TPace { kWhole, kProgress };
    // Names the step under way (in messages) and starts its deadline: the
    // idle limit, or `seconds` when given.
    void BeginStep(std::string name, TPace pace = TPace::kWhole, int seconds = 0);
    // While FETCH answers are handed over one at a time (see TImapReplyGuard).
    void SetStreaming(bool streaming, std::size_t answers = 0) {
        guard_.SetStreaming(streaming, answers);
    }

    // Each throws TKestrifyError with the reason.
    void Connect(const std::string& host, int port);
    void StartTls(const std::string& host, const std::string& caFile);

    // A libetpan stream reading and writing through this connection; freed
    // by libetpan, which never frees this object.
    mailstream_low* NewLow();

    // From any thread: the connection is closed at once, and every read or
    // write fails.
    void Cancel();
    bool Cancelled() const { return cancelled_; }
    // Why the last read or write failed (UTF-8), empty if none did.
    const std::string& Fault() const { return fault_; }
    // No read or write failed and nothing was cancelled: the connection may
    // still be closed politely.
    bool Sound() const { return fault_.empty() && !cancelled_; }

  private:
    bool WaitFor(short events);
    bool Expired();
    bool Guard(const void* buffer, ssize_t size);
    ssize_t Read(void* buffer, std::size_t size);
    ssize_t Write(const void* buffer, std::size_t size);
    void Close();
    void Handshake(const std::string& host);

    static mailstream_low_driver driver_;

    struct TCancelOnStop {
        TImapStream* stream;
        void operator()() const { stream->Cancel(); }
    };

    TLimits limits_;
    std::atomic<int> fd_{-1};
    std::atomic<bool> cancelled_{false};
    gnutls_session_t tls_ = nullptr;
    gnutls_certificate_credentials_t credentials_ = nullptr;
    std::string fault_;
    std::string step_;
    TPace pace_ = TPace::kWhole;
    int stepSeconds_ = 0;
    std::chrono::steady_clock::time_point deadline_ = std::chrono::steady_clock::time_point::max();
    TImapReplyGuard guard_;
    std::uint64_t progress_ = 0;
    // Last: gone (and any Cancel it runs finished) before the rest.
    std::optional<std::stop_callback<TCancelOnStop>> cancelOnStop_;
};
