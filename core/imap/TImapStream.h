#pragma once
// The connection under a libetpan IMAP session: a TCP socket with timeouts
// (connect, no data) and TLS by GnuTLS with the certificate checked against
// the system's trust store, an optional CA file and the server's name. There
// is no way to turn the check off, and no plain connection past STARTTLS.

#include <atomic>
#include <functional>
#include <string>

#include <gnutls/gnutls.h>
#include <libetpan/libetpan.h>

#include "imap/TImapAccess.h"

class TImapStream {
  public:
    using TLimits = TImapAccess::TTimeouts;

    TImapStream(std::function<bool()> stopRequested, TLimits limits);
    ~TImapStream();
    TImapStream(const TImapStream&) = delete;
    TImapStream& operator=(const TImapStream&) = delete;

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

  private:
    bool WaitFor(short events, int seconds);
    ssize_t Read(void* buffer, std::size_t size);
    ssize_t Write(const void* buffer, std::size_t size);
    void Close();
    void Handshake(const std::string& host);

    static mailstream_low_driver driver_;

    std::function<bool()> stopRequested_;
    TLimits limits_;
    std::atomic<int> fd_{-1};
    std::atomic<bool> cancelled_{false};
    gnutls_session_t tls_ = nullptr;
    gnutls_certificate_credentials_t credentials_ = nullptr;
    std::string fault_;
};
