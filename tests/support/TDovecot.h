#pragma once
// A private Dovecot IMAP server for tests: configuration, users, a
// self-signed certificate for "localhost" and Maildir folders all in a
// temporary folder, listening on 127.0.0.1 at free ports. Nothing outside the
// folder is touched.
//
// Each TDovecot starts with an empty mailbox of its own, but the server
// process is shared by the test program: starting one takes about a second,
// giving its user a new home a few milliseconds. A server no TDovecot uses is
// kept for the next one of its kind (with or without TLS) and stopped, its
// folder removed, when the program ends; two in use at once are two servers.

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

class TDovecot {
  public:
    static constexpr const char* kUser = "alice";
    static constexpr const char* kPassword = "s3cret pass";

    // `tls` false: a server that offers no TLS at all.
    explicit TDovecot(bool tls = true);
    ~TDovecot();
    TDovecot(const TDovecot&) = delete;
    TDovecot& operator=(const TDovecot&) = delete;

    // Whether this machine can run one (the packages are installed).
    static bool Available();

    int ImapPort() const { return imapPort_; }    // STARTTLS
    int ImapsPort() const { return imapsPort_; }  // TLS from the start
    // The server's certificate, to be trusted as a CA file.
    std::string CaFile() const { return File("cert.pem"); }
    // A bearer token for kUser that the server takes for XOAUTH2.
    std::string BearerToken() const;
    const std::filesystem::path& Root() const { return root_; }

    // Creates `folder` (UTF-8; INBOX exists) through doveadm.
    void CreateFolder(const std::string& folder);
    // Adds raw mails to `folder`, in this order of UIDs, unread.
    void AddMails(const std::string& folder, const std::vector<std::string>& mails);
    // The folder's files in Maildir (cur and new).
    std::vector<std::filesystem::path> MailFiles(const std::string& folder) const;
    // Runs doveadm with this server's configuration; its exit status.
    int Doveadm(const std::string& arguments) const;

    static int FreePort();

  private:
    std::filesystem::path FolderPath(const std::string& folder) const;
    void Prepare(bool tls);
    // An empty Maildir that the user's home names from now on.
    void NewHome();
    void Stop();
    void WriteConfig(bool tls);
    void Start();
    void GiveToMailUser(const std::filesystem::path& path) const;

    std::string File(const std::string& name) const { return (root_ / name).string(); }

    // In memory where the machine offers it: writing 20,000 mail files to a
    // disk takes ten times as long.
    std::filesystem::path root_;
    std::filesystem::path home_;  // this object's, under root_/homes
    bool tls_ = true;
    int imapPort_ = 0;
    int imapsPort_ = 0;
    pid_t pid_ = -1;
    uid_t mailUid_ = 0;
    gid_t mailGid_ = 0;
    int nextMail_ = 0;
};

// A TCP relay between a client and the server that, after passing
// `passBytes` from the server, either stops forwarding (the connection
// stalls) or closes both sides (the connection drops).
class TTcpRelay {
  public:
    enum class TMode { kStall, kKill };
    TTcpRelay(int targetPort, std::size_t passBytes, TMode mode);
    ~TTcpRelay();
    int Port() const { return port_; }

  private:
    void Run();

    int targetPort_;
    std::size_t passBytes_;
    TMode mode_;
    int listener_ = -1;
    int port_ = 0;
    int wake_[2] = {-1, -1};
    std::vector<int> held_;  // stalled sockets kept open until the end
    std::thread thread_;
};
