#include "TDovecot.h"

#include "TempDir.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <stdexcept>

namespace {

constexpr const char* kDovecot = "/usr/sbin/dovecot";
constexpr const char* kDoveadm = "/usr/bin/doveadm";

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

bool CanConnect(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return ok;
}

int Listen(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, 8) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    return fd;
}

std::size_t CountCrLf(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t at = text.find("\r\n"); at != std::string::npos;
         at = text.find("\r\n", at + 2)) {
        ++count;
    }
    return count;
}

// A server that no TDovecot uses now, kept for the next of its kind.
struct TIdleServer {
    std::filesystem::path root;
    int imapPort = 0;
    int imapsPort = 0;
    pid_t pid = -1;
    uid_t mailUid = 0;
    gid_t mailGid = 0;
};

void StopServer(pid_t pid, const std::filesystem::path& root) {
    if (pid > 0) {
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(root, ec);
}

// One slot per kind (index: with TLS), emptied when the program ends.
class TIdleServers {
  public:
    ~TIdleServers() {
        for (std::optional<TIdleServer>& idle : slots_) {
            if (idle) {
                StopServer(idle->pid, idle->root);
            }
        }
    }
    std::optional<TIdleServer>& For(bool tls) { return slots_[tls ? 1 : 0]; }

  private:
    std::optional<TIdleServer> slots_[2];
};

TIdleServers& Idle() {
    static TIdleServers idle;
    return idle;
}

bool Running(pid_t pid) {
    int status = 0;
    return pid > 0 && waitpid(pid, &status, WNOHANG) == 0;
}

}  // namespace

bool TDovecot::Available() {
    return access(kDovecot, X_OK) == 0 && access(kDoveadm, X_OK) == 0 &&
           std::system("command -v openssl >/dev/null 2>&1") == 0;
}

int TDovecot::FreePort() {
    int port = 0;
    close(Listen(port));
    return port;
}

static std::filesystem::path MakeRoot() {
    std::string base = std::filesystem::temp_directory_path().string();
    if (access("/dev/shm", W_OK | X_OK) == 0) {
        base = "/dev/shm";
    }
    std::string pattern = base + "/kestrify-dovecot-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a folder in " + base);
    }
    return pattern;
}

TDovecot::TDovecot(bool tls) : tls_(tls) {
    if (std::optional<TIdleServer>& idle = Idle().For(tls); idle && Running(idle->pid)) {
        root_ = idle->root;
        imapPort_ = idle->imapPort;
        imapsPort_ = idle->imapsPort;
        pid_ = idle->pid;
        mailUid_ = idle->mailUid;
        mailGid_ = idle->mailGid;
        idle.reset();
        try {
            NewHome();
        } catch (...) {
            Stop();
            throw;
        }
        return;
    }
    root_ = MakeRoot();
    try {
        Prepare(tls);
    } catch (...) {
        Stop();
        throw;
    }
}

void TDovecot::Prepare(bool tls) {
    const std::filesystem::path root = root_;
    for (const char* sub : {"run", "state", "home"}) {
        std::filesystem::create_directories(root / sub);
    }
    if (geteuid() == 0) {
        // Dovecot runs no mail process as root: the mails belong to nobody.
        const passwd* nobody = getpwnam("nobody");
        if (nobody == nullptr) {
            throw std::runtime_error("no user nobody");
        }
        mailUid_ = nobody->pw_uid;
        mailGid_ = nobody->pw_gid;
        std::filesystem::permissions(root, std::filesystem::perms(0755));
    } else {
        mailUid_ = geteuid();
        mailGid_ = getegid();
    }
    const std::string cert = Quoted(File("cert.pem"));
    const std::string key = Quoted(File("key.pem"));
    const std::string make =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
        " -subj /CN=localhost -addext subjectAltName=DNS:localhost -keyout " +
        key + " -out " + cert + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        throw std::runtime_error("openssl could not make a certificate");
    }
    std::ofstream(root / "passwd") << kUser << ":{PLAIN}" << kPassword << "::::::\n";
    // XOAUTH2: bearer tokens are JSON web tokens the server checks itself
    // with this key (HS256), no OAuth server needed.
    const std::filesystem::path keys = root / "oauth2-keys" / "default" / "HS256";
    std::filesystem::create_directories(keys);
    std::ofstream(keys / "default") << "a2VzdHJpZnktdGVzdC1rZXktMDEyMzQ1Njc4OWFiY2RlZg==";
    std::ofstream(root / "oauth2.conf")
        << "introspection_mode = local\n"
        << "local_validation_key_dict = fs:posix:prefix=" << (root / "oauth2-keys").string()
        << "/\n"
        << "username_attribute = sub\n";
    const std::string token =
        "python3 -c 'import base64, hashlib, hmac, json, time\n"
        "def part(b): return base64.urlsafe_b64encode(b).rstrip(b\"=\").decode()\n"
        "head = part(json.dumps({\"alg\": \"HS256\", \"typ\": \"JWT\"}).encode())\n"
        "body = part(json.dumps({\"sub\": \"" +
        std::string(kUser) +
        "\", \"exp\": int(time.time()) + 86400}).encode())\n"
        "signed = head + \".\" + body\n"
        "key = b\"kestrify-test-key-0123456789abcdef\"\n"
        "print(signed + \".\" + part(hmac.new(key, signed.encode(), hashlib.sha256).digest()))'"
        " > " +
        Quoted(File("token"));
    if (std::system(token.c_str()) != 0) {
        throw std::runtime_error("python3 could not make a bearer token");
    }
    imapPort_ = FreePort();
    imapsPort_ = FreePort();
    WriteConfig(tls);
    GiveToMailUser(root / "home");
    NewHome();
    Start();
}

void TDovecot::NewHome() {
    static int homes = 0;
    const std::filesystem::path home = root_ / "homes" / std::to_string(++homes);
    for (const char* sub : {"cur", "new", "tmp"}) {
        std::filesystem::create_directories(home / "Maildir" / sub);
    }
    GiveToMailUser(root_ / "homes");
    // The link is replaced in one step: the server, which follows it at each
    // login, sees the old home or the new one, never none.
    const std::filesystem::path link = root_ / "home" / kUser;
    const std::filesystem::path next = root_ / "home" / (std::string(kUser) + ".next");
    std::error_code ec;
    std::filesystem::remove(next, ec);
    std::filesystem::create_directory_symlink(home, next);
    GiveToMailUser(next);
    std::filesystem::rename(next, link);
    home_ = home;
}

void TDovecot::WriteConfig(bool tls) {
    const std::filesystem::path root = root_;
    std::string loginUser = "dovenull";
    std::string internalUser = "dovecot";
    if (geteuid() != 0) {
        const passwd* me = getpwuid(geteuid());
        loginUser = internalUser = me != nullptr ? me->pw_name : "nobody";
    }
    std::ofstream conf(root / "dovecot.conf");
    conf << "base_dir = " << (root / "run").string() << "\n"
         << "state_dir = " << (root / "state").string() << "\n"
         << "log_path = " << (root / "dovecot.log").string() << "\n"
         << "instance_name = kestrify-test-" << imapPort_ << "\n"
         << "protocols = imap\n"
         << "listen = 127.0.0.1\n"
         << "default_login_user = " << loginUser << "\n"
         << "default_internal_user = " << internalUser << "\n"
         << "first_valid_uid = 1\n"
         << "disable_plaintext_auth = yes\n"
         << "auth_mechanisms = plain login xoauth2\n"
         << "auth_failure_delay = 0\n"
         << "mail_location = maildir:~/Maildir\n"
         // Connections of earlier tests may still be closing.
         << "mail_max_userip_connections = 1000\n"
         << "passdb {\n  driver = oauth2\n  mechanisms = xoauth2\n  args = "
         << (root / "oauth2.conf").string() << "\n}\n"
         << "passdb {\n  driver = passwd-file\n  mechanisms = plain login none\n  args = "
            "scheme=PLAIN "
         << (root / "passwd").string() << "\n}\n"
         << "userdb {\n  driver = static\n  args = uid=" << mailUid_ << " gid=" << mailGid_
         << " home=" << (root / "home").string() << "/%u\n}\n"
         << "service imap-login {\n  chroot =\n"
         << "  inet_listener imap {\n    port = " << imapPort_ << "\n  }\n"
         << "  inet_listener imaps {\n    port = " << (tls ? imapsPort_ : 0)
         << "\n    ssl = yes\n  }\n"
         << "}\n"
         << "service anvil {\n  chroot =\n}\n"
         << "service stats {\n  inet_listener http {\n    port = 0\n  }\n}\n"
         << "ssl = " << (tls ? "yes" : "no") << "\n";
    if (tls) {
        conf << "ssl_cert = <" << File("cert.pem") << "\n"
             << "ssl_key = <" << File("key.pem") << "\n";
    }
}

void TDovecot::Start() {
    const std::string conf = File("dovecot.conf");
    pid_ = fork();
    if (pid_ == 0) {
        // Not the test's output: a server left behind must not hold it open.
        const int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
        execl(kDovecot, kDovecot, "-F", "-c", conf.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!CanConnect(imapPort_)) {
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_ ||
            std::chrono::steady_clock::now() > deadline) {
            pid_ = -1;
            throw std::runtime_error("dovecot did not start: " +
                                     TTempDir::Read(root_ / "dovecot.log"));
        }
        usleep(20000);
    }
}

TDovecot::~TDovecot() {
    std::optional<TIdleServer>& idle = Idle().For(tls_);
    if (idle || !Running(pid_)) {
        Stop();
        return;
    }
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
    idle = TIdleServer{root_, imapPort_, imapsPort_, pid_, mailUid_, mailGid_};
}

void TDovecot::Stop() {
    StopServer(pid_, root_);
    pid_ = -1;
}

int TDovecot::Doveadm(const std::string& arguments) const {
    const std::string command = std::string(kDoveadm) + " -c " + Quoted(File("dovecot.conf")) +
                                " " + arguments + " >/dev/null 2>&1";
    return std::system(command.c_str());
}

void TDovecot::GiveToMailUser(const std::filesystem::path& path) const {
    if (geteuid() != 0) {
        return;
    }
    if (lchown(path.c_str(), mailUid_, mailGid_) != 0) {
        throw std::runtime_error("chown failed");
    }
    if (std::filesystem::is_directory(path)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path)) {
            if (lchown(entry.path().c_str(), mailUid_, mailGid_) != 0) {
                throw std::runtime_error("chown failed");
            }
        }
    }
}

void TDovecot::CreateFolder(const std::string& folder) {
    if (Doveadm("mailbox create -u " + std::string(kUser) + " " + Quoted(folder)) != 0) {
        throw std::runtime_error("doveadm could not create " + folder);
    }
}

std::filesystem::path TDovecot::FolderPath(const std::string& folder) const {
    const std::filesystem::path maildir = root_ / "home" / kUser / "Maildir";
    if (folder == "INBOX") {
        return maildir;
    }
    // Dovecot names the folder on disk itself (modified UTF-7): ask it.
    const std::string listing = File("path.txt");
    const std::string command = std::string(kDoveadm) + " -c " + Quoted(File("dovecot.conf")) +
                                " mailbox path -u " + kUser + " " + Quoted(folder) + " >" +
                                Quoted(listing) + " 2>/dev/null";
    if (std::system(command.c_str()) != 0) {
        throw std::runtime_error("doveadm has no path for " + folder);
    }
    std::string path = TTempDir::Read(listing);
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) {
        path.pop_back();
    }
    return path;
}

void TDovecot::AddMails(const std::string& folder, const std::vector<std::string>& mails) {
    const std::filesystem::path cur = FolderPath(folder) / "cur";
    if (!std::filesystem::exists(cur)) {
        std::filesystem::create_directories(cur);
        GiveToMailUser(cur);
    }
    for (const std::string& mail : mails) {
        // Dovecot gives new files their UIDs in the order of these names.
        // Sizes in the name as Dovecot writes them for the mails it
        // delivers: without them it reads every file to answer RFC822.SIZE.
        const int n = nextMail_++;
        const std::size_t bareLf =
            static_cast<std::size_t>(std::count(mail.begin(), mail.end(), '\n')) - CountCrLf(mail);
        const std::filesystem::path file =
            cur / (std::to_string(1000000000 + n) + ".M" + std::to_string(n) +
                   "P1.kestrify,S=" + std::to_string(mail.size()) +
                   ",W=" + std::to_string(mail.size() + bareLf) + ":2,");
        // Readable by the mail user; the folder, which is its own, lets it
        // rename the file when it records flags.
        const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || write(fd, mail.data(), mail.size()) != static_cast<ssize_t>(mail.size())) {
            throw std::runtime_error("cannot write " + file.string());
        }
        close(fd);
    }
}

std::string TDovecot::BearerToken() const {
    std::string token = TTempDir::Read(root_ / "token");
    while (!token.empty() && token.back() == '\n') {
        token.pop_back();
    }
    return token;
}

std::vector<std::filesystem::path> TDovecot::MailFiles(const std::string& folder) const {
    std::vector<std::filesystem::path> files;
    for (const char* sub : {"cur", "new"}) {
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(FolderPath(folder) / sub, ec)) {
            files.push_back(e.path());
        }
    }
    return files;
}

TTcpRelay::TTcpRelay(int targetPort, std::size_t passBytes, TMode mode)
    : targetPort_(targetPort), passBytes_(passBytes), mode_(mode) {
    listener_ = Listen(port_);
    if (pipe(wake_) != 0) {
        throw std::runtime_error("pipe failed");
    }
    thread_ = std::thread(&TTcpRelay::Run, this);
}

TTcpRelay::~TTcpRelay() {
    const char c = 0;
    (void)!write(wake_[1], &c, 1);
    thread_.join();
    for (const int fd : held_) {
        close(fd);
    }
    close(listener_);
    close(wake_[0]);
    close(wake_[1]);
}

// One client at a time: the tests make one connection each.
void TTcpRelay::Run() {
    while (true) {
        pollfd accepting[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        poll(accepting, 2, -1);
        if (accepting[1].revents != 0) {
            return;
        }
        const int client = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(targetPort_));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address);
        std::size_t passed = 0;
        bool open = true;
        while (open) {
            pollfd p[3] = {{client, POLLIN, 0}, {server, POLLIN, 0}, {wake_[0], POLLIN, 0}};
            poll(p, 3, -1);
            if (p[2].revents != 0) {
                close(client);
                close(server);
                return;
            }
            char buffer[16384];
            for (int side = 0; side < 2 && open; ++side) {
                if (p[side].revents == 0) {
                    continue;
                }
                const int from = side == 0 ? client : server;
                const int to = side == 0 ? server : client;
                std::size_t want = sizeof buffer;
                if (side == 1) {
                    want = std::min(want, passBytes_ - passed);
                }
                const ssize_t n = want == 0 ? 0 : read(from, buffer, want);
                if (n <= 0 || write(to, buffer, static_cast<std::size_t>(n)) != n) {
                    open = false;
                    break;
                }
                if (side == 1) {
                    passed += static_cast<std::size_t>(n);
                }
            }
            if (open && passed >= passBytes_) {
                if (mode_ == TMode::kKill) {
                    open = false;
                } else {
                    held_.push_back(client);
                    held_.push_back(server);
                    break;
                }
            }
        }
        if (!open) {
            close(client);
            close(server);
        }
    }
}
