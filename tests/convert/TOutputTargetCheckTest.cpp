#include "convert/TOutputTargetCheck.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "codeconv/TSjisUnicode.h"

namespace {

namespace fs = std::filesystem;

// A project, an mbox store and a folder store with a subfolder, and which
// outputs (and backups) each run refuses.
TEST(OutputTargetCheck, RefusesEveryInputAsOutputOrBackup) {
    TTempDir dir;
    const fs::path d = dir.Path();
    TTempDir::Write(d / "p.KFY", "[EML]\r\n");
    TTempDir::Write(d / "inbox.bak", "From x\n");
    fs::create_directories(d / "mails" / "cur");
    TTempDir::Write(d / "mails" / "cur" / "1.eml", "Subject: a\n");
    fs::create_hard_link(d / "mails" / "cur" / "1.eml", d / "hardlink.csv");
    fs::create_symlink(d / "inbox.bak", d / "link.csv");
    TTempDir::Write(d / "inbox.csv", "old\r\n");
    TTempDir::Write(d / "other.csv", "old\r\n");
    struct {
        const char* name;
        std::string store;
        std::string target;
        bool backup;
        const char* refusal;  // the end of the message, or nullptr
    } const cases[] = {
        {"the project", "inbox.bak", "p.KFY", false, "出力先がプロジェクトファイルです。"},
        {"the mbox", "inbox.bak", "inbox.bak", false, "出力先がメールの保存ファイルです。"},
        {"a link to the mbox", "inbox.bak", "link.csv", false,
         "出力先がメールの保存ファイルです。"},
        {"the mbox as backup", "inbox.bak", "inbox.csv", true,
         "バックアップ先がメールの保存ファイルです。"},
        {"no backup asked", "inbox.bak", "inbox.csv", false, nullptr},
        {"a mail in a subfolder", "mails", "mails/cur/1.eml", false,
         "出力先がメールフォルダのファイルです。"},
        {"a hard link to a mail", "mails", "hardlink.csv", false,
         "出力先がメールフォルダのファイルです。"},
        {"a new file in the mail folder", "mails", "mails/new.csv", false, nullptr},
        {"an unrelated file", "mails", "other.csv", true, nullptr},
        {"a missing file", "inbox.bak", "none.csv", true, nullptr},
    };
    for (const auto& c : cases) {
        const TOutputTargetCheck check((d / "p.KFY").string(), (d / c.store).string());
        const auto refusal = check.Refuse((d / c.target).string(), c.backup);
        ASSERT_EQ(refusal.has_value(), c.refusal != nullptr) << c.name;
        if (refusal) {
            EXPECT_TRUE(refusal->message.ends_with(TSjisUnicode::FromUtf8(c.refusal)))
                << c.name << ": " << TSjisUnicode::ToUtf8(refusal->message);
        }
    }
}

}  // namespace
