// The readers of Maildir, MH and Thunderbird folders: which files and mails
// count, their order, and what a store changed behind the reader's back does.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <optional>
#include <string>
#include <thread>

#include "MailTestUtil.h"
#include "TestText.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TMHParser.h"
#include "mail/TMaildirName.h"
#include "mail/TMaildirParser.h"
#include "mail/TMozillaStatus.h"
#include "mail/TThunderbirdParser.h"
#include "mail/TThunderbirdProfiles.h"

namespace {

using Lines = std::vector<std::string>;

std::string Subject(TBasicMailParser& parser, int index) {
    const std::unique_ptr<TBasicMail> mail = parser.GetMail(index);
    const auto& values = mail->HeaderValues("SUBJECT:");
    return values.empty() ? "" : values.front();
}

Lines Subjects(TBasicMailParser& parser) {
    Lines subjects;
    for (int i = 0; i < parser.GetCount(); ++i) {
        subjects.push_back(Subject(parser, i));
    }
    return subjects;
}

std::string Mail(std::string_view subject) {
    return "Subject: " + std::string(subject) + "\n\nbody " + std::string(subject) + "\n";
}

}  // namespace

TEST(MaildirName, TimeFlagsAndOrder) {
    struct TName {
        std::string_view name;
        std::size_t digits;
        bool trashed;
    };
    const TName names[] = {
        {"1700000000.M1P2.host,S=12,W=13:2,ST", 10, true},
        {"1700000000.M1P2.host:2,S", 10, false},
        {"1700000000.M1P2.host:2,", 10, false},
        {"1700000000.M1P2.hosT", 10, false},  // a T outside the flags
        {"17", 2, false},
        {"17x.host:2,T", 0, true},
        {"host.1700000000", 0, false},
        {"", 0, false},
        {":2,T", 0, true},
        {"1.a:2,FS:2,T", 1, true},  // the last info part holds the flags
    };
    for (const TName& n : names) {
        EXPECT_EQ(TMaildirName::TimeDigits(n.name), n.digits) << n.name;
        EXPECT_EQ(TMaildirName::IsTrashed(n.name), n.trashed) << n.name;
    }
    struct TSize {
        std::string_view name;
        std::optional<std::uint64_t> size;
    };
    const TSize sizes[] = {
        {"1700000000.M1P2.host,S=12,W=13:2,S", 12},
        {"1700000000.M1P2.host,S=12:2,S", 12},
        {"1700000000.M1P2.host,U=7,S=0", 0},
        {"1700000000.M1P2.host:2,S", std::nullopt},
        {"1.h,S=:2,", std::nullopt},
        {"1.h,S=12x:2,", std::nullopt},
        {"1.h,S=99999999999999999999", std::nullopt},  // past 64 bits
        {"1.h,S=18446744073709551615", std::nullopt},
        {"1.h,S=9999999999999999999", 9999999999999999999u},
    };
    for (const TSize& s : sizes) {
        EXPECT_EQ(TMaildirName::SizeHint(s.name), s.size) << s.name;
    }
    // Each name comes before the next one.
    const std::string_view ordered[] = {
        "9.b",
        "0010.a",
        "10.a",
        "10.b:2,S",
        "11.M99P1.h",
        "11.M100P1.h",
        "99999999999999999999.a",
        "100000000000000000000.a",
        "a.01",
        "a.1",
        "b",
    };
    for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
        EXPECT_TRUE(TMaildirName::Before(ordered[i], ordered[i + 1])) << ordered[i];
        EXPECT_FALSE(TMaildirName::Before(ordered[i + 1], ordered[i])) << ordered[i];
        EXPECT_FALSE(TMaildirName::Before(ordered[i], ordered[i])) << ordered[i];
    }
}

TEST(MaildirParser, MailsOfCurAndNewInOrderOfArrival) {
    TTempDir dir;
    const std::filesystem::path box = dir.Path() / "メール";
    for (const char* sub : {"cur", "new", "tmp", ".Sub/cur", ".Sub/new"}) {
        std::filesystem::create_directories(box / sub);
    }
    WriteFile(box / "cur" / "1700000010.M5P1.h,S=30:2,S", Mail("third"));
    WriteFile(box / "new" / "1700000002.M9P1.h", Mail("second"));
    WriteFile(box / "cur" / "999999999.M1P1.h:2,RS", Mail("first"));
    WriteFile(box / "cur" / "1700000005.M1P1.h:2,ST", Mail("trashed"));
    WriteFile(box / "cur" / ".hidden", Mail("dot"));
    WriteFile(box / "tmp" / "1700000001.M1P1.h", Mail("delivering"));
    WriteFile(box / ".Sub" / "cur" / "1.M1P1.h:2,S", Mail("sub"));
    WriteFile(box / "dovecot-uidlist", "3 V1 N4\n");
    std::filesystem::create_directory(box / "cur" / "1700000003.M1.h");  // no file

    TMaildirParser parser(TSjisUnicode::FromPath(box));
    EXPECT_EQ(Subjects(parser), (Lines{"first", "second", "third"}));
    EXPECT_EQ(parser.MailName(1), "1700000002.M9P1.h");
    EXPECT_EQ(parser.MailPath(2), box / "cur" / "1700000010.M5P1.h,S=30:2,S");
}

TEST(MaildirParser, MailsOfOneSecondInTheOrderOfTheirNames) {
    // Listed in any order; told apart past the time by digit runs as
    // numbers, then bytes, also past the first eight bytes.
    const std::vector<std::string> names = {
        "1700000000.M09P1.h",
        "1700000000.M9P1.h",
        "1700000000.M10P1.h",
        "1700000000.M10P1.h2",
        "1700000000.M10P1.hostname1",
        "1700000000.M10P1.hostname2",
        "1700000000.M10P1.hostname10",
        "1700000000.Ma",
        "1700000000.N1",
    };
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "cur");
    for (std::size_t i = names.size(); i-- > 0;) {
        WriteFile(dir.Path() / "cur" / names[i], Mail(std::to_string(i)));
    }
    TMaildirParser parser(TSjisUnicode::FromPath(dir.Path()));
    ASSERT_EQ(parser.GetCount(), static_cast<int>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(parser.MailName(static_cast<int>(i)), names[i]);
    }
}

TEST(MaildirParser, VanishedFileIsThatMailsFailureAndWarningsNameTheFile) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "cur");
    const std::string name = "1700000001.M1P1.h,S=5,FMD5=ab:2,S";
    WriteFile(dir.Path() / "cur" / "1700000000.M1P1.h",
              "Subject: =?ISO-2022-JP?B?broken\nX: y\n\nbody\n");
    WriteFile(dir.Path() / "cur" / name, Mail("gone"));
    std::vector<std::string> warnings;
    TMaildirParser parser(TSjisUnicode::FromPath(dir.Path()));  // no new/: none from there
    parser.SetOptions({[&](const std::string& w) { warnings.push_back(w); }});
    ASSERT_EQ(parser.GetCount(), 2);
    std::filesystem::remove(dir.Path() / "cur" / name);
    EXPECT_THROW(parser.GetMail(1), TKestrifyError);
    parser.GetMail(0);
    for (const std::string& w : warnings) {
        EXPECT_TRUE(w.starts_with("1700000000.M1P1.h")) << w;
    }
    EXPECT_THROW(parser.GetMail(2), TKestrifyError);
}

TEST(MaildirParser, WholeFileReadWhateverSizeItsNameTells) {
    // Around the first read, the largest read and past it (mapped), each
    // with the true size in the name, a wrong one and none.
    const std::size_t sizes[] = {0, 1, 65535, 65536, 65537, 200000, 1 << 20, (1 << 20) + 1};
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "cur");
    int count = 0;
    for (const std::size_t size : sizes) {
        std::string text(size, 'x');
        for (std::size_t at = 79; at < size; at += 80) {
            text[at] = '\n';
        }
        for (const std::string& hint : {",S=" + std::to_string(size), std::string(",S=1"),
                                        ",S=" + std::to_string(size + 1), std::string()}) {
            const std::string name = std::to_string(1700000000 + count++) + ".M1P1.h" + hint;
            WriteFile(dir.Path() / "cur" / name, text);
        }
    }
    TMaildirParser parser(TSjisUnicode::FromPath(dir.Path()));
    ASSERT_EQ(parser.GetCount(), count);
    for (int i = 0; i < count; ++i) {
        std::size_t read = 0;
        for (const std::string& line : parser.GetMailLines(i)) {
            read += line.size() + 1;
        }
        const std::size_t size = sizes[i / 4];
        EXPECT_EQ(read, size + (size % 80 == 0 ? 0 : 1)) << parser.MailName(i);
    }
}

TEST(MaildirParser, PipeInPlaceOfAMailFailsWithoutWaiting) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "new");
    const std::filesystem::path mail = dir.Path() / "new" / "1700000000.M1P1.h";
    WriteFile(mail, Mail("mail"));
    TMaildirParser parser(TSjisUnicode::FromPath(dir.Path()));
    std::filesystem::remove(mail);
    ASSERT_EQ(::mkfifo(mail.c_str(), 0600), 0);
    EXPECT_THROW(parser.GetMail(0), TKestrifyError);
}

TEST(MaildirParser, MissingFolderHasNoMailsUnreadableOneThrows) {
    TTempDir dir;
    EXPECT_EQ(TMaildirParser(TSjisUnicode::FromPath(dir.Path() / "none")).GetCount(), 0);
    std::filesystem::create_directories(dir.Path() / "box" / "cur");
    std::filesystem::permissions(dir.Path() / "box" / "cur", std::filesystem::perms::none);
    if (::geteuid() != 0) {
        EXPECT_THROW(TMaildirParser(TSjisUnicode::FromPath(dir.Path() / "box")), TKestrifyError);
    }
}

TEST(MHParser, NumberedFilesInNumericOrder) {
    TTempDir dir;
    std::filesystem::create_directories(dir.Path() / "5");  // a sub-folder named by number
    for (const char* name : {"10", "9", "100", "2"}) {
        WriteFile(dir.Path() / name, Mail(name));
    }
    for (const char* name : {",3", ".mh_sequences", ".claws_mark", ".claws_cache", "4x", "#7"}) {
        WriteFile(dir.Path() / name, Mail(name));
    }
    TMHParser parser(TSjisUnicode::FromPath(dir.Path()));
    EXPECT_EQ(Subjects(parser), (Lines{"2", "9", "10", "100"}));
    EXPECT_EQ(parser.GetMailLines(0), (Lines{"Subject: 2", "", "body 2"}));
}

TEST(MozillaStatus, FlagsOfTheHeaderBlock) {
    struct TCase {
        std::string mail;
        bool deleted;
    };
    const TCase cases[] = {
        {"From - Mon\nX-Mozilla-Status: 0001\nX-Mozilla-Status2: 00000000\n\n", false},
        {"From - Mon\nX-Mozilla-Status: 0009\n\n", true},
        {"From - Mon\r\nx-mozilla-status:\t000B\r\n\r\n", true},
        {"From - Mon\nX-Mozilla-Status: 0001\nX-Mozilla-Status2: 00200000\n\n", true},
        {"From - Mon\nX-Mozilla-Status2: 10210000\nSubject: x\n\n", true},
        {"From - Mon\nSubject: x\n\nX-Mozilla-Status: 0008\n", false},  // in the body
        {"From - Mon\nX-Mozilla-Status: zz08\n\n", false},
        {"From - Mon\nX-Mozilla-Status: 0000\nX-Mozilla-Status: 0008\n", false},  // first counts
        {"From - Mon\nX-Mozilla-Status: ", false},
        // No blank line: the next mail's flags are its own.
        {"From - Mon\nSubject: x\nFrom - Tue\nX-Mozilla-Status: 0008\n\n", false},
        {"From - Mon", false},
        {"", false},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(TMozillaStatus::IsDeleted(c.mail), c.deleted) << c.mail;
    }
    EXPECT_EQ(TMozillaStatus::ParseHex(" 123456789"), 0x12345678u);
}

TEST(ThunderbirdParser, SkipsDeletedMailsAndUnquotesFromLines) {
    const std::string folder =
        "From - Mon Jun  3 09:00:00 2024\n"
        "X-Mozilla-Status: 0001\nX-Mozilla-Status2: 00000000\nSubject: one\n\n"
        "From a user is no separator\n>From quoted\n>>From twice\n> From kept\n\n"
        "From - Mon Jun  3 10:00:00 2024\n"
        "X-Mozilla-Status: 0009\nSubject: deleted\n\nbody\n\n"
        "From - Mon Jun  3 11:00:00 2024\r\n"
        "X-Mozilla-Status: 0000\r\nX-Mozilla-Status2: 00200000\r\nSubject: gone on server\r\n\r\n"
        "From - Mon Jun  3 12:00:00 2024\n"
        "X-Mozilla-Status: 0001\nSubject: two\n\nlast\n"
        "From - Mon Jun  3 13:00:00 2024\nX-Mozilla-Status: 0008\nSubject: no body\n";
    TThunderbirdParser parser(Bytes(folder), 2);
    ASSERT_EQ(parser.GetCount(), 2);
    EXPECT_EQ(Subjects(parser), (Lines{"one", "two"}));
    EXPECT_EQ(parser.GetMail(0)->GetBody(),
              (Lines{"From a user is no separator", "From quoted", ">From twice", "> From kept"}));
    EXPECT_EQ(parser.GetMailLines(1).back(), "last");
    EXPECT_EQ(folder.substr(parser.MailStart(1), 33), "From - Mon Jun  3 12:00:00 2024\nX");
    std::string header;
    parser.AppendRawHeader(1, header);
    EXPECT_EQ(header, "X-Mozilla-Status: 0001\nSubject: two\n");
    EXPECT_THROW(parser.GetMail(2), TKestrifyError);
    EXPECT_THROW(parser.MailStart(-1), TKestrifyError);
}

TEST(ThunderbirdParser, MailsReadOnSeveralThreadsAreTheSame) {
    std::string folder;
    for (int i = 0; i < 300; ++i) {
        folder += "From - Mon Jun  3 09:00:00 2024\nX-Mozilla-Status: " +
                  std::string(i % 3 == 0 ? "0008" : "0001") + "\nSubject: " + std::to_string(i) +
                  "\n\n>From " + std::to_string(i) + "\n\n";
    }
    TThunderbirdParser parser(Bytes(folder), 4);
    ASSERT_EQ(parser.GetCount(), 200);
    std::atomic<int> wrong{0};
    const auto check = [&](int from) {
        for (int i = from; i < 200; i += 2) {
            const int number = i / 2 * 3 + 1 + i % 2;
            if (parser.GetMail(i)->GetBody() != Lines{"From " + std::to_string(number)}) {
                ++wrong;
            }
        }
    };
    std::thread other(check, 1);
    check(0);
    other.join();
    EXPECT_EQ(wrong, 0);
}

TEST(ThunderbirdProfiles, IniPathsRelativeToTheirPlaceOrAbsolute) {
    struct TCase {
        std::string ini;
        std::vector<std::string> folders;
    };
    const TCase cases[] = {
        {"[Profile0]\nPath=a.default\n", {"/tb/a.default"}},
        {"[Profile0]\nIsRelative=1\nPath=../x/b\n", {"/x/b"}},
        {"[Profile0]\nIsRelative=0\nPath=/data/c\n", {"/data/c"}},
        {"[Profile0]\nIsRelative=0\nPath=d\n", {}},  // not taken from the working folder
        {std::string("[Profile0]\nPath=e\0/etc\n", 23), {}},
        {"[General]\nPath=f\n[Profile0]\nName=n\n", {}},
    };
    for (const TCase& c : cases) {
        std::vector<std::string> folders;
        for (const auto& profile : TThunderbirdProfiles::ParseIni(c.ini, "/tb")) {
            folders.push_back(profile.folder.string());
        }
        EXPECT_EQ(folders, c.folders) << c.ini;
    }
}

TEST(ThunderbirdProfiles, ProfilesOfEveryPlaceWithAccountsAndFolders) {
    TTempDir home;
    const std::filesystem::path tb = home.Path() / ".thunderbird";
    const std::filesystem::path flat =
        home.Path() / ".var/app/org.mozilla.Thunderbird/.thunderbird";
    const std::filesystem::path elsewhere = home.Path() / "data" / "profile";
    const std::filesystem::path local = tb / "ab12.default/Mail/Local Folders";
    std::filesystem::create_directories(local / "Inbox.sbd" / "Sub.sbd");
    std::filesystem::create_directories(local / "Archives.sbd");
    std::filesystem::create_directories(tb / "ab12.default/ImapMail/imap.example.com");
    std::filesystem::create_directories(elsewhere / "Mail/pop.example.jp");
    std::filesystem::create_directories(flat);
    for (const char* file : {"Inbox", "Inbox.msf", "Trash", "popstate.dat", "my.box", "my.box.msf",
                             "Inbox.sbd/Sub", "Inbox.sbd/Sub.sbd/Deep", "Archives.sbd/2024"}) {
        WriteFile(local / file, "");
    }
    WriteFile(tb / "ab12.default/ImapMail/imap.example.com/INBOX", "");
    WriteFile(elsewhere / "Mail/pop.example.jp/Inbox", "");
    WriteFile(tb / "ab12.default/prefs.js",
              "user_pref(\"mail.server.server2.directory-rel\", "
              "\"[ProfD]ImapMail/imap.example.com\");\n"
              "user_pref(\"mail.server.server2.name\", \"仕事\");\n");
    WriteFile(tb / "profiles.ini",
              "[General]\nStartWithLastProfile=1\n\n[Profile1]\nName=default\nIsRelative=1\n"
              "Path=ab12.default\n\n[Profile0]\nName=other\r\nIsRelative=0\r\nPath=" +
                  elsewhere.string() + "\r\n\n[Profile2]\nName=gone\nPath=missing\n");
    // The same profile again, from another place: listed once.
    WriteFile(flat / "profiles.ini", "[Profile0]\nName=again\nIsRelative=0\nPath=" +
                                         (tb / "ab12.default").string() + "\n");

    const auto profiles = TThunderbirdProfiles::Find(home.Path());
    ASSERT_EQ(profiles.size(), 2u);
    EXPECT_EQ(profiles[0].name, "default");
    EXPECT_EQ(profiles[1].name, "other");
    EXPECT_EQ(profiles[1].folder, elsewhere);
    ASSERT_EQ(profiles[1].accounts.size(), 1u);
    EXPECT_EQ(profiles[1].accounts[0].folders[0].file, elsewhere / "Mail/pop.example.jp/Inbox");

    const auto& accounts = profiles[0].accounts;
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].name, "Local Folders");
    EXPECT_EQ(accounts[1].name, "仕事");
    Lines names;
    for (const auto& f : accounts[0].folders) {
        names.push_back(f.name + (f.file.empty() ? "/" : "") + ":" +
                        std::to_string(f.children.size()));
    }
    EXPECT_EQ(names, (Lines{"Archives/:1", "Inbox:1", "Trash:0", "my.box:0"}));
    const auto& sub = accounts[0].folders[1].children[0];
    EXPECT_EQ(sub.file, local / "Inbox.sbd/Sub");
    ASSERT_EQ(sub.children.size(), 1u);
    EXPECT_EQ(sub.children[0].file, local / "Inbox.sbd/Sub.sbd/Deep");
}
