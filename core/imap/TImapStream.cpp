#include "imap/TImapStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"

namespace {

constexpr int kSliceMs = 100;  // how often a wait looks at the stop request
// A CA file holds a few certificates; a system bundle of all of them is
// about 200 KB.
constexpr off_t kMaxCaFile = 4 << 20;

[[noreturn]] void Fail(const std::string& utf8) {
    throw TKestrifyError(TSjisUnicode::FromUtf8(utf8));
}

TImapStream* StreamOf(mailstream_low* low) {
    return static_cast<TImapStream*>(low->data);
}

bool IsAddress(const std::string& host) {
    in6_addr address{};
    return inet_pton(AF_INET, host.c_str(), &address) == 1 ||
           inet_pton(AF_INET6, host.c_str(), &address) == 1;
}

// The CA file's text: a regular file of sane size (not a device, a FIFO or
// a folder that would be read without end or block).
std::string ReadCaFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        Fail("CA ファイル " + path + " を開けません: " + std::strerror(errno));
    }
    struct stat info {};
    std::string why;
    std::string text;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        why = "普通のファイルではありません。PEM 形式の証明書のファイルを指定してください";
    } else if (info.st_size > kMaxCaFile) {
        why = "大きすぎます (" + std::to_string(kMaxCaFile >> 20) +
              " MB まで)。PEM 形式の証明書のファイルを指定してください";
    } else {
        text.resize(static_cast<std::size_t>(info.st_size));
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t r = read(fd, text.data() + done, text.size() - done);
            if (r < 0 && errno == EINTR) {
                continue;
            }
            if (r <= 0) {
                why = std::string("読めません: ") + (r < 0 ? std::strerror(errno) : "short file");
                break;
            }
            done += static_cast<std::size_t>(r);
        }
    }
    close(fd);
    if (!why.empty()) {
        Fail("CA ファイル " + path + " は" + why);
    }
    return text;
}

}  // namespace

mailstream_low_driver TImapStream::driver_ = {
    [](mailstream_low* low, void* buffer, size_t size) {
        return StreamOf(low)->Read(buffer, size);
    },
    [](mailstream_low* low, const void* buffer, size_t size) {
        return StreamOf(low)->Write(buffer, size);
    },
    [](mailstream_low* low) {
        StreamOf(low)->Close();
        return 0;
    },
    [](mailstream_low* low) { return StreamOf(low)->fd_.load(); },
    [](mailstream_low* low) { free(low); }, [](mailstream_low* low) { StreamOf(low)->Cancel(); },
    [](mailstream_low*) -> struct mailstream_cancel* {return nullptr;
}
, [](mailstream_low*) -> carray* { return nullptr; }, [](mailstream_low*) { return -1; },
    [](mailstream_low*) { return -1; }, [](mailstream_low*) { return -1; },
}
;

TImapStream::TImapStream(const std::stop_token& stop, TLimits limits) : limits_(limits) {
    cancelOnStop_.emplace(stop, TCancelOnStop{this});
}

TImapStream::~TImapStream() {
    cancelOnStop_.reset();  // no stop reaches the descriptor while it closes
    Close();
    if (tls_ != nullptr) {
        gnutls_deinit(tls_);
    }
    if (credentials_ != nullptr) {
        gnutls_certificate_free_credentials(credentials_);
    }
}

mailstream_low* TImapStream::NewLow() {
    return mailstream_low_new(this, &driver_);
}

void TImapStream::Cancel() {
    cancelled_ = true;
    const int fd = fd_.load();
    if (fd >= 0) {
        shutdown(fd, SHUT_RDWR);
    }
}

void TImapStream::Close() {
    const int fd = fd_.exchange(-1);
    if (fd >= 0) {
        close(fd);
    }
}

void TImapStream::BeginStep(std::string name, TPace pace, int seconds) {
    step_ = std::move(name);
    pace_ = pace;
    stepSeconds_ = seconds > 0 ? seconds : limits_.idleSeconds;
    deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(stepSeconds_);
    progress_ = guard_.Progress();
}

bool TImapStream::Expired() {
    if (pace_ == TPace::kProgress && guard_.Progress() != progress_) {
        progress_ = guard_.Progress();
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(stepSeconds_);
        return false;
    }
    if (std::chrono::steady_clock::now() < deadline_) {
        return false;
    }
    fault_ = "IMAP サーバから " + std::to_string(stepSeconds_) + " 秒間応答がありません (" + step_ +
             ")。サーバとネットワークが動いているか確かめてください";
    Cancel();  // a connection that timed out is closed, never spoken to again
    return true;
}

bool TImapStream::Guard(const void* buffer, ssize_t size) {
    if (size <= 0) {
        return true;
    }
    const std::string why = guard_.Feed(
        std::string_view(static_cast<const char*>(buffer), static_cast<std::size_t>(size)));
    if (why.empty()) {
        return true;
    }
    fault_ = "サーバの応答が異常です (" + why + ")。接続を切りました";
    Cancel();
    return false;
}

bool TImapStream::WaitFor(short events) {
    while (true) {
        if (cancelled_) {
            fault_ = fault_.empty() ? "中断しました" : fault_;
            return false;
        }
        pollfd p{fd_.load(), events, 0};
        if (p.fd < 0) {
            fault_ = "IMAP サーバとの接続は閉じています";
            return false;
        }
        const int ready = poll(&p, 1, kSliceMs);
        if (ready > 0) {
            return true;
        }
        if (ready < 0 && errno != EINTR) {
            fault_ = std::string("IMAP サーバとの接続を待てません: ") + std::strerror(errno);
            return false;
        }
        if (Expired()) {
            return false;
        }
    }
}

void TImapStream::Connect(const std::string& host, int port) {
    const std::string where = host + ":" + std::to_string(port);
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int r = getaddrinfo(host.c_str(), service.c_str(), &hints, &found); r != 0) {
        Fail("IMAP サーバ " + host + " が見つかりません: " + gai_strerror(r));
    }
    std::string why;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int fd =
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            why = std::strerror(errno);
            continue;
        }
        fd_ = fd;
        int error = 0;
        if (connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
            error = errno;
            if (error == EINPROGRESS) {
                BeginStep("接続", TPace::kWhole, limits_.connectSeconds);
                if (!WaitFor(POLLOUT)) {
                    Close();
                    freeaddrinfo(found);
                    if (cancelled_ && fault_ == "中断しました") {
                        Fail(fault_);
                    }
                    Fail("IMAP サーバ " + where + " に " + std::to_string(limits_.connectSeconds) +
                         " 秒以内に接続できません");
                }
                socklen_t length = sizeof error;
                getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
            }
        }
        if (error == 0) {
            freeaddrinfo(found);
            return;
        }
        why = std::strerror(error);
        Close();
    }
    freeaddrinfo(found);
    Fail("IMAP サーバ " + where + " に接続できません: " + why);
}

void TImapStream::StartTls(const std::string& host, const std::string& caFile) {
    if (gnutls_certificate_allocate_credentials(&credentials_) != GNUTLS_E_SUCCESS) {
        Fail("TLS を準備できません");
    }
    // A machine without a trust store still works with a CA file.
    gnutls_certificate_set_x509_system_trust(credentials_);
    if (!caFile.empty()) {
        const std::string text = ReadCaFile(caFile);
        const gnutls_datum_t data{reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
                                  static_cast<unsigned int>(text.size())};
        const int r =
            gnutls_certificate_set_x509_trust_mem(credentials_, &data, GNUTLS_X509_FMT_PEM);
        if (r <= 0) {
            Fail("CA ファイル " + caFile + " から証明書を読めません" +
                 (r < 0 ? std::string(": ") + gnutls_strerror(r) : std::string()));
        }
    }
    // GNUTLS_NO_SIGNAL: a server that closes while we send must be a write
    // error, not a SIGPIPE that kills the whole run.
    if (gnutls_init(&tls_, GNUTLS_CLIENT | GNUTLS_NONBLOCK | GNUTLS_NO_SIGNAL) !=
            GNUTLS_E_SUCCESS ||
        gnutls_set_default_priority(tls_) != GNUTLS_E_SUCCESS ||
        gnutls_credentials_set(tls_, GNUTLS_CRD_CERTIFICATE, credentials_) != GNUTLS_E_SUCCESS) {
        Fail("TLS を準備できません");
    }
    if (!IsAddress(host)) {
        gnutls_server_name_set(tls_, GNUTLS_NAME_DNS, host.data(), host.size());
    }
    gnutls_session_set_verify_cert(tls_, host.c_str(), 0);
    gnutls_transport_set_int(tls_, fd_.load());
    BeginStep("TLS の開始");
    Handshake(host);
}

void TImapStream::Handshake(const std::string& host) {
    while (true) {
        const int r = gnutls_handshake(tls_);
        if (r == GNUTLS_E_SUCCESS) {
            return;
        }
        if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED) {
            if (!WaitFor(gnutls_record_get_direction(tls_) == 1 ? POLLOUT : POLLIN)) {
                Fail(fault_);
            }
            continue;
        }
        if (r == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) {
            std::string why;
            gnutls_datum_t text{};
            if (gnutls_certificate_verification_status_print(
                    gnutls_session_get_verify_cert_status(tls_), gnutls_certificate_type_get(tls_),
                    &text, 0) == GNUTLS_E_SUCCESS) {
                why.assign(reinterpret_cast<const char*>(text.data), text.size);
                gnutls_free(text.data);
            }
            Fail("IMAP サーバ " + host + " の証明書を確かめられないため接続しません: " + why);
        }
        Fail("IMAP サーバ " + host + " と TLS で接続できません: " + gnutls_strerror(r));
    }
}

ssize_t TImapStream::Read(void* buffer, std::size_t size) {
    while (true) {
        if (cancelled_) {
            fault_ = fault_.empty() ? "中断しました" : fault_;
            return -1;
        }
        // A server that trickles a byte at a time never lets a wait expire.
        if (Expired()) {
            return -1;
        }
        ssize_t r = 0;
        bool again = false;
        if (tls_ != nullptr) {
            r = gnutls_record_recv(tls_, buffer, size);
            again = r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED;
            if (r < 0 && !again) {
                fault_ = r == GNUTLS_E_PREMATURE_TERMINATION
                             ? "IMAP サーバとの接続が途中で切れました"
                             : std::string("IMAP サーバとの TLS 接続が切れました: ") +
                                   gnutls_strerror(static_cast<int>(r));
                return -1;
            }
        } else {
            r = recv(fd_.load(), buffer, size, MSG_DONTWAIT);
            again = r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
            if (r < 0 && !again) {
                fault_ = std::string("IMAP サーバとの接続が切れました: ") + std::strerror(errno);
                return -1;
            }
        }
        if (!again) {
            if (r == 0) {
                fault_ = "IMAP サーバが接続を切りました";
            }
            return Guard(buffer, r) ? r : -1;
        }
        if (!WaitFor(POLLIN)) {
            return -1;
        }
    }
}

ssize_t TImapStream::Write(const void* buffer, std::size_t size) {
    const char* at = static_cast<const char*>(buffer);
    std::size_t left = size;
    while (left > 0) {
        if (cancelled_) {
            fault_ = fault_.empty() ? "中断しました" : fault_;
            return -1;
        }
        ssize_t r = 0;
        bool again = false;
        if (tls_ != nullptr) {
            r = gnutls_record_send(tls_, at, left);
            again = r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED;
            if (r < 0 && !again) {
                fault_ = std::string("IMAP サーバとの TLS 接続が切れました: ") +
                         gnutls_strerror(static_cast<int>(r));
                return -1;
            }
        } else {
            r = send(fd_.load(), at, left, MSG_DONTWAIT | MSG_NOSIGNAL);
            again = r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
            if (r < 0 && !again) {
                fault_ = std::string("IMAP サーバとの接続が切れました: ") + std::strerror(errno);
                return -1;
            }
        }
        if (again) {
            if (!WaitFor(POLLOUT)) {
                return -1;
            }
            continue;
        }
        at += r;
        left -= static_cast<std::size_t>(r);
    }
    return static_cast<ssize_t>(size);
}
