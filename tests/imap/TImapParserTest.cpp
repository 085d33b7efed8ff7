// The IMAP reader against a real Dovecot started for each test.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "TDovecot.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "imap/TImapSession.h"
#include "mail/TImapParser.h"

namespace {

std::string FormMail(int n, std::size_t padding = 0) {
    return "From: shop" + std::to_string(n) + "@example.jp\r\nSubject: order " + std::to_string(n) +
           "\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n注文番号: " + std::to_string(n) +
           "\r\n" + std::string(padding, 'x') + "\r\n";
}

std::vector<std::string> FormMails(int first, int count, std::size_t padding = 0) {
    std::vector<std::string> mails;
    for (int i = first; i < first + count; ++i) {
        mails.push_back(FormMail(i, padding));
    }
    return mails;
}

std::string Utf8(const std::exception& e) {
    return TSjisUnicode::ToUtf8(e.what());
}

std::string Subject(TBasicMailParser& reader, int index) {
    const std::unique_ptr<TBasicMail> mail = reader.GetMail(index);
    const std::vector<std::string>& values = mail->HeaderValues("SUBJECT:");
    return values.empty() ? "" : values.front();
}

class TImapParserTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TDovecot::Available()) {
            GTEST_SKIP() << "dovecot is not installed";
        }
        server_ = std::make_unique<TDovecot>();
    }

    // A URL as a project holds it (Shift_JIS).
    std::string Url(const std::string& utf8Folder = "INBOX", bool startTls = false,
                    const std::string& host = "localhost") const {
        const int port = startTls ? server_->ImapPort() : server_->ImapsPort();
        return TSjisUnicode::FromUtf8(std::string(startTls ? "imap" : "imaps") + "://" +
                                      TDovecot::kUser + "@" + host + ":" + std::to_string(port) +
                                      "/" + utf8Folder);
    }
    // XOAUTH2 with the server's bearer token instead of a password.
    std::string BearerUrl() const {
        return "imaps://alice;AUTH=XOAUTH2@localhost:" + std::to_string(server_->ImapsPort()) +
               "/INBOX";
    }
    TImapAccess Access() const {
        TImapAccess access;
        access.secret = TDovecot::kPassword;
        access.caFile = server_->CaFile();
        return access;
    }
    // The Japanese message of what opening `url` throws, empty if it opens.
    std::string OpenError(const std::string& sjisUrl, const TImapAccess& access) const {
        try {
            TImapParser reader(sjisUrl, access);
            return "";
        } catch (const TKestrifyError& e) {
            return Utf8(e);
        }
    }

    std::unique_ptr<TDovecot> server_;
};

TEST_F(TImapParserTest, ReadsByUidOverBothKindsOfTlsAndLeavesMailsUnread) {
    server_->AddMails("INBOX", FormMails(1, 3));
    for (const bool startTls : {false, true}) {
        SCOPED_TRACE(startTls ? "STARTTLS" : "TLS");
        TImapParser reader(Url("INBOX;UIDVALIDITY=1", startTls), Access());
        ASSERT_EQ(reader.GetCount(), 3);
        EXPECT_NE(reader.UidValidity(), 0u);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(Subject(reader, i), "order " + std::to_string(i + 1));
            EXPECT_EQ(reader.Uid(i), static_cast<std::uint32_t>(i + 1));
        }
        // Asked again (as the preview does): fetched again.
        EXPECT_EQ(Subject(reader, 0), "order 1");
    }
    for (const auto& file : server_->MailFiles("INBOX")) {
        const std::string name = file.filename().string();
        EXPECT_EQ(name.find('S', name.rfind(":2,")), std::string::npos) << file;
    }
}

TEST_F(TImapParserTest, RefusesServersItCannotTrustOrEnter) {
    server_->CreateFolder("Orders");
    TImapAccess noCa = Access();
    noCa.caFile.clear();
    TImapAccess wrongPassword = Access();
    wrongPassword.secret = "wrong";
    TImapAccess missingCa = Access();
    missingCa.caFile = (server_->Root() / "none.pem").string();
    struct TCase {
        const char* what;
        std::string url;
        TImapAccess access;
        std::vector<std::string> words;  // all in the message
    };
    const TCase cases[] = {
        {"not in the trust store", Url(), noCa, {"証明書を確かめられない"}},
        {"not in the trust store, STARTTLS", Url("INBOX", true), noCa, {"証明書を確かめられない"}},
        {"name is not the certificate's",
         Url("INBOX", false, "127.0.0.1"),
         Access(),
         {"証明書を確かめられない"}},
        {"CA file missing", Url(), missingCa, {"CA ファイル", "none.pem"}},
        {"wrong password",
         Url(),
         wrongPassword,
         {"ログインできません", "alice", "Authentication failed"}},
        {"unknown folder", Url("Nothing"), Access(), {"「Nothing」を開けません", "doesn't exist"}},
        {"password as a bearer token", BearerUrl(), Access(), {"ログインできません", "alice"}},
        {"nobody listening",
         "imaps://alice@127.0.0.1:" + std::to_string(TDovecot::FreePort()) + "/",
         Access(),
         {"接続できません"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string message = OpenError(c.url, c.access);
        ASSERT_FALSE(message.empty());
        for (const std::string& word : c.words) {
            EXPECT_NE(message.find(word), std::string::npos) << message;
        }
    }
    EXPECT_EQ(OpenError(Url("Orders"), Access()), "");
    TImapAccess token = Access();
    token.secret = server_->BearerToken();
    EXPECT_EQ(OpenError(BearerUrl(), token), "");
}

TEST(TImapPlainServerTest, RefusesAServerWithoutTls) {
    if (!TDovecot::Available()) {
        GTEST_SKIP() << "dovecot is not installed";
    }
    const TDovecot plain(false);
    TImapAccess access;
    access.secret = TDovecot::kPassword;
    try {
        TImapParser reader("imap://alice@localhost:" + std::to_string(plain.ImapPort()) + "/INBOX",
                           access);
        ADD_FAILURE() << "connected without TLS";
    } catch (const TKestrifyError& e) {
        EXPECT_NE(Utf8(e).find("STARTTLS"), std::string::npos) << Utf8(e);
        EXPECT_NE(Utf8(e).find("暗号化しない接続は使いません"), std::string::npos) << Utf8(e);
    }
}

TEST_F(TImapParserTest, JapaneseFolderNamesAsWrittenOrPercentEncoded) {
    server_->CreateFolder("受信箱");
    server_->AddMails("受信箱", FormMails(7, 2));
    for (const char* folder : {"受信箱", "%E5%8F%97%E4%BF%A1%E7%AE%B1"}) {
        SCOPED_TRACE(folder);
        TImapParser reader(Url(folder), Access());
        ASSERT_EQ(reader.GetCount(), 2);
        EXPECT_EQ(Subject(reader, 1), "order 8");
    }
    TImapSession session(TImapUrl::Parse(TSjisUnicode::ToUtf8(Url())), Access());
    bool found = false;
    for (const TImapSession::TFolder& f : session.ListFolders()) {
        found = found || f.name == "受信箱";
    }
    EXPECT_TRUE(found);
}

TEST_F(TImapParserTest, ManyMailsInSmallBatchesFromSeveralThreads) {
    constexpr int kMails = 20000;
    server_->AddMails("INBOX", FormMails(0, kMails));
    // Small batches: many UID FETCH commands, and a window the readers outrun.
    TImapParser reader(Url(), Access(), {.mails = 97, .bytes = 64 << 10, .aheadBatches = 2});
    ASSERT_EQ(reader.GetCount(), kMails);
    std::atomic<int> next{0};
    std::atomic<int> wrong{0};
    const auto work = [&] {
        for (int i = next++; i < kMails; i = next++) {
            if (Subject(reader, i) != "order " + std::to_string(i)) {
                ++wrong;
            }
        }
    };
    std::thread helper(work);
    work();
    helper.join();
    EXPECT_EQ(wrong, 0);
    // A jump far ahead and back, as the preview makes.
    EXPECT_EQ(Subject(reader, kMails - 1), "order " + std::to_string(kMails - 1));
    EXPECT_EQ(Subject(reader, 5), "order 5");
    // Held and on the way never passed the two batches of the window.
    const TImapParser::TLoad peak = reader.Peak();
    EXPECT_LE(peak.mails, 2u * 97);
    EXPECT_LE(peak.bytes, 2u * (64 << 10));
    EXPECT_GT(peak.mails, 97u);
}

TEST_F(TImapParserTest, AMailDeletedWhileReadingFailsAloneAndNamesItsUid) {
    server_->AddMails("INBOX", FormMails(1, 3));
    TImapParser reader(Url(), Access(), {.mails = 1, .bytes = 1, .aheadBatches = 1});
    ASSERT_EQ(reader.GetCount(), 3);
    EXPECT_EQ(Subject(reader, 0), "order 1");
    ASSERT_EQ(server_->Doveadm("expunge -u alice mailbox INBOX uid 3"), 0);
    EXPECT_EQ(Subject(reader, 1), "order 2");
    try {
        reader.GetMail(2);
        ADD_FAILURE() << "a deleted mail arrived";
    } catch (const TKestrifyError& e) {
        EXPECT_NE(Utf8(e).find("UID 3"), std::string::npos) << Utf8(e);
    }
    EXPECT_EQ(reader.GetCount(), 3);  // the store itself is still usable
}

TEST_F(TImapParserTest, ADroppedOrStalledConnectionFailsTheStore) {
    server_->AddMails("INBOX", FormMails(1, 300, 2000));
    struct TCase {
        const char* what;
        TTcpRelay::TMode mode;
        const char* words;
    };
    for (const TCase& c : {TCase{"dropped", TTcpRelay::TMode::kKill, "切"},
                           TCase{"stalled", TTcpRelay::TMode::kStall, "3 秒間応答がありません"}}) {
        SCOPED_TRACE(c.what);
        // Past the greeting, the login and the list, into the first batch.
        TTcpRelay relay(server_->ImapsPort(), 150000, c.mode);
        TImapAccess access = Access();
        // Short, but not so short that a busy machine trips it while logging in.
        access.timeouts.idleSeconds = 3;
        TImapParser reader("imaps://alice@localhost:" + std::to_string(relay.Port()) + "/INBOX",
                           access);
        ASSERT_EQ(reader.GetCount(), 300);
        std::string message;
        for (int i = 0; i < 300 && message.empty(); ++i) {
            try {
                reader.GetMail(i);
            } catch (const TKestrifyError& e) {
                message = Utf8(e);
            }
        }
        EXPECT_NE(message.find(c.words), std::string::npos) << message;
        EXPECT_THROW(reader.GetCount(), TKestrifyError);
    }
}

TEST_F(TImapParserTest, AStopClosesAStalledConnectionAtOnce) {
    server_->AddMails("INBOX", FormMails(1, 100, 2000));
    TTcpRelay relay(server_->ImapsPort(), 60000, TTcpRelay::TMode::kStall);
    std::stop_source stop;
    TImapAccess access = Access();
    access.stop = stop.get_token();
    TImapParser reader("imaps://alice@localhost:" + std::to_string(relay.Port()) + "/INBOX",
                       access);
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.request_stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(
        for (int i = 0; i < 100; ++i) { reader.GetMail(i); }, TKestrifyError);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

}  // namespace
