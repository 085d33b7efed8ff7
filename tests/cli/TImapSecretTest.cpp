// The order of the places the command takes an IMAP password from, with a
// stand-in for the desktop's keyring (no test touches a real one).

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "TEnvironmentVariable.h"
#include "TImapSecret.h"
#include "TUsageError.h"
#include "TempDir.h"

namespace {

class TFakeKeyring : public TKeyringLookup {
  public:
    explicit TFakeKeyring(std::optional<std::string> stored) : stored_(std::move(stored)) {}
    std::optional<std::string> Find(const std::string& key) override {
        asked.push_back(key);
        return stored_;
    }
    std::vector<std::string> asked;

  private:
    std::optional<std::string> stored_;
};

TEST(TImapSecretTest, KeyringThenEnvironmentThenPasswordFile) {
    const TTempDir dir;
    const std::string file = (dir.Path() / "password").string();
    std::ofstream(file) << "from file\nsecond line\n";
    ::chmod(file.c_str(), 0600);
    struct TCase {
        std::optional<std::string> keyring;
        const char* environment;
        bool passwordFile;
        std::string expected;
    };
    const TCase cases[] = {
        {"from keyring", "from environment", true, "from keyring"},
        {std::nullopt, "from environment", true, "from environment"},
        {std::nullopt, "", true, "from file"},  // an empty variable gives nothing
        {std::nullopt, nullptr, true, "from file"},
        {std::nullopt, nullptr, false, ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.expected);
        const TEnvironmentVariable environment(TImapSecret::kEnvironmentName, c.environment);
        TFakeKeyring keyring(c.keyring);
        EXPECT_EQ(TImapSecret::Find(c.passwordFile ? std::optional(file) : std::nullopt,
                                    "imaps://alice@mail.example.jp/INBOX", keyring),
                  c.expected);
        // The desktop program's key: the port written also when it is the default.
        EXPECT_EQ(keyring.asked, std::vector<std::string>{"alice@mail.example.jp:993"});
    }
}

TEST(TImapSecretTest, TheKeyIsTheAccountOfTheUrl) {
    const TEnvironmentVariable environment(TImapSecret::kEnvironmentName, nullptr);
    for (const auto& [url, key] :
         {std::pair{"imap://bob%40example.jp@host:10143/受信箱", "bob@example.jp@host:10143"},
          std::pair{"imaps://carol;AUTH=XOAUTH2@imap.example.com/",
                    "carol@imap.example.com:993"}}) {
        TFakeKeyring keyring("token");
        EXPECT_EQ(TImapSecret::Find(std::nullopt, url, keyring), "token");
        EXPECT_EQ(keyring.asked, std::vector<std::string>{key});
    }
    TFakeKeyring keyring("token");
    EXPECT_EQ(TImapSecret::Find(std::nullopt, "not a url", keyring), "");
    EXPECT_TRUE(keyring.asked.empty());
}

// A password file is the user's own plain file, never reached through a
// link (whose target may change) or anything else; the refusal says so.
TEST(TImapSecretTest, APasswordFileMustBeTheUsersOwnPlainFile) {
    const TTempDir dir;
    const std::filesystem::path file = dir.Path() / "password";
    TTempDir::Write(file, "secret\n");
    ::chmod(file.c_str(), 0600);
    std::filesystem::create_symlink(file, dir.Path() / "link");
    std::filesystem::create_directory(dir.Path() / "folder");
    for (const char* name : {"link", "folder"}) {
        try {
            TImapSecret::FromFile((dir.Path() / name).string());
            ADD_FAILURE() << name << ": read";
        } catch (const TUsageError& e) {
            EXPECT_NE(std::string(e.what()).find("自分の普通のファイル"), std::string::npos)
                << name << ": " << e.what();
        }
    }
    EXPECT_EQ(TImapSecret::FromFile(file.string()), "secret");
}

}  // namespace
