// The command on an IMAP store: the same CSV as from the mails as files,
// and where it takes the password from.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "TDovecot.h"
#include "TempDir.h"

namespace {

// The example store's mails, each with CR LF line ends as a server keeps them.
std::vector<std::string> ExampleMails() {
    // A path joined, not a string literal appended: GCC 12 at -O1 warns
    // (array-bounds) on the latter for some lengths of the folder's name.
    const std::string mbox =
        TTempDir::Read(std::filesystem::path(KESTRIFY_EXAMPLES_DIR) / "inquiries.mbox");
    std::vector<std::string> mails;
    std::size_t at = 0;
    while (at < mbox.size()) {
        const std::size_t body = mbox.find('\n', at) + 1;  // after the "From " line
        std::size_t end = mbox.find("\nFrom ", body);
        end = end == std::string::npos ? mbox.size() : end + 1;
        std::string mail;
        for (std::size_t i = body; i < end; ++i) {
            if (mbox[i] == '\n' && (i == body || mbox[i - 1] != '\r')) {
                mail += '\r';
            }
            mail += mbox[i];
        }
        mails.push_back(mail);
        at = end;
    }
    return mails;
}

class TImapCliTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TDovecot::Available()) {
            GTEST_SKIP() << "dovecot is not installed";
        }
        server_ = std::make_unique<TDovecot>();
        mails_ = ExampleMails();
        server_->AddMails("INBOX", mails_);
    }

    // kestrify-cli's exit status; its messages go to `log`. No session bus
    // is named, so the desktop's keyring is never asked.
    int Run(const std::string& environment, const std::string& arguments,
            const std::string& output) const {
        const std::string command =
            "cd " + dir_.Path().string() + " && env -u DBUS_SESSION_BUS_ADDRESS " + environment +
            " XDG_RUNTIME_DIR=" + dir_.Path().string() + " " + KESTRIFY_PROGRAM_DIR +
            "/kestrify-cli -q " + arguments + " " + KESTRIFY_EXAMPLES_DIR + "/inquiries.KFY " +
            output + " >/dev/null 2>log";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Log() const { return TTempDir::Read(dir_.Path() / "log"); }
    std::string ImapArguments() const {
        return "--mail-type 9 --location imaps://alice@localhost:" +
               std::to_string(server_->ImapsPort()) + "/INBOX --ca-file " + server_->CaFile();
    }

    TTempDir dir_;
    std::unique_ptr<TDovecot> server_;
    std::vector<std::string> mails_;
};

TEST_F(TImapCliTest, SameCsvFromTheServerAsFromTheMailFiles) {
    std::filesystem::create_directory(dir_.Path() / "mails");
    for (std::size_t i = 0; i < mails_.size(); ++i) {
        std::ofstream(dir_.Path() / "mails" / (std::to_string(100 + i) + ".eml"), std::ios::binary)
            << mails_[i];
    }
    ASSERT_EQ(Run("", "--mail-type 0 --location mails", "local.csv"), 0) << Log();
    ASSERT_EQ(Run("KESTRIFY_IMAP_PASSWORD='s3cret pass'", ImapArguments(), "server.csv"), 0)
        << Log();
    const std::string local = TTempDir::Read(dir_.Path() / "local.csv");
    EXPECT_GT(local.size(), 100u);
    EXPECT_EQ(TTempDir::Read(dir_.Path() / "server.csv"), local);
}

TEST_F(TImapCliTest, PasswordSourcesAndTheirRefusals) {
    const std::filesystem::path file = dir_.Path() / "password";
    std::ofstream(file) << TDovecot::kPassword << "\n";
    chmod(file.c_str(), 0600);
    EXPECT_EQ(
        Run("-u KESTRIFY_IMAP_PASSWORD", ImapArguments() + " --password-file password", "a.csv"), 0)
        << Log();
    EXPECT_TRUE(std::filesystem::exists(dir_.Path() / "a.csv"));

    chmod(file.c_str(), 0644);
    EXPECT_EQ(
        Run("-u KESTRIFY_IMAP_PASSWORD", ImapArguments() + " --password-file password", "b.csv"),
        2);
    EXPECT_NE(Log().find("chmod 600"), std::string::npos) << Log();

    EXPECT_EQ(Run("-u KESTRIFY_IMAP_PASSWORD", ImapArguments(), "c.csv"), 2);
    EXPECT_NE(Log().find("KESTRIFY_IMAP_PASSWORD"), std::string::npos) << Log();

    EXPECT_EQ(Run("KESTRIFY_IMAP_PASSWORD=wrong", ImapArguments(), "d.csv"), 2);
    EXPECT_NE(Log().find("ログインできません"), std::string::npos) << Log();
    for (const char* name : {"b.csv", "c.csv", "d.csv"}) {
        EXPECT_FALSE(std::filesystem::exists(dir_.Path() / name)) << name;
    }
}

}  // namespace
