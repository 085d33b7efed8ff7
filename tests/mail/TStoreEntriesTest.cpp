// What the readers of folder stores take as a mail and what they refuse:
// entries that are no plain file inside the store, files that grow while
// they are read, and Thunderbird folder trees that loop.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "MailTestUtil.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "mail/TEMLParser.h"
#include "mail/TMHParser.h"
#include "mail/TMaildirParser.h"
#include "mail/TStoreBoundary.h"
#include "mail/TTextFileParser.h"
#include "mail/TThunderbirdProfiles.h"

namespace {

namespace fs = std::filesystem;

// One kind of folder store: where its mails lie and what a mail is named.
struct TFolderKind {
    const char* name;
    const char* mailFolder;  // below the store
    std::string (*mailName)(int n);
    bool foldersCounted;  // a folder named like a mail is counted as skipped
    std::unique_ptr<TBasicMailParser> (*open)(const fs::path& store);
};

template <typename TParser>
std::unique_ptr<TBasicMailParser> Open(const fs::path& store) {
    return std::make_unique<TParser>(TSjisUnicode::FromPath(store));
}

const TFolderKind kKinds[] = {
    {"Maildir", "cur", [](int n) { return std::to_string(1700000000 + n) + ".M1P1.h:2,S"; }, true,
     &Open<TMaildirParser>},
    {"MH", "", [](int n) { return std::to_string(n + 1); }, false, &Open<TMHParser>},
    {"EML", "", [](int n) { return std::to_string(n) + ".eml"; }, false, &Open<TEMLParser>},
    {"text", "", [](int n) { return std::to_string(n) + ".txt"; }, false, &Open<TTextFileParser>},
};

std::string Mail(const std::string& word) {
    return "Subject: s\n\nbody " + word + "\n";
}

// Every mail's body lines, joined: what would reach the CSV.
std::string AllText(TBasicMailParser& parser) {
    std::string text;
    for (int i = 0; i < parser.GetCount(); ++i) {
        const std::unique_ptr<TBasicMail> mail = parser.GetMail(i);
        for (const std::string& line : mail->GetBody()) {
            text += line + "\n";
        }
    }
    return text;
}

// A store with one real mail (0) in a temporary folder beside a secret.
struct TStore {
    explicit TStore(const TFolderKind& kind) : kind(kind) {
        fs::create_directories(Mails());
        fs::create_directories(root / "kept");
        WriteFile(Mails() / kind.mailName(0), Mail("REAL"));
        WriteFile(root / "kept" / "mail", Mail("INSIDE"));
        WriteFile(dir.Path() / "secret.txt", "Subject: x\n\nbody SECRET\n");
    }
    fs::path Mails() const { return root / kind.mailFolder; }
    fs::path Entry() const { return Mails() / kind.mailName(1); }

    const TFolderKind& kind;
    TTempDir dir;
    fs::path root = dir.Path() / "store";
};

}  // namespace

TEST(StoreEntries, OnlyPlainFilesInsideTheStoreAreReadTheRestCounted) {
    struct TCase {
        const char* what;
        std::function<bool(const TStore&)> make;  // false: cannot be made here
        bool read;                                // a mail (INSIDE)
        bool folder;                              // counted only where folders are
    };
    const TCase cases[] = {
        {"link out of the store",
         [](const TStore& s) {
             fs::create_symlink(s.dir.Path() / "secret.txt", s.Entry());
             return true;
         },
         false, false},
        {"relative link climbing out",
         [](const TStore& s) {
             fs::create_symlink(std::string(s.kind.mailFolder[0] ? "../" : "") + "../secret.txt",
                                s.Entry());
             return true;
         },
         false, false},
        {"link to a link inside",
         [](const TStore& s) {
             fs::create_symlink("mail", s.root / "kept" / "again");
             fs::create_symlink(s.root / "kept" / "again", s.Entry());
             return true;
         },
         true, false},
        {"link to a device",
         [](const TStore& s) {
             fs::create_symlink("/dev/zero", s.Entry());
             return true;
         },
         false, false},
        {"loop of links",
         [](const TStore& s) {
             fs::create_symlink(s.Entry().filename(), s.Entry());
             return true;
         },
         false, false},
        {"link to nothing",
         [](const TStore& s) {
             fs::create_symlink(s.root / "gone", s.Entry());
             return true;
         },
         false, false},
        {"FIFO", [](const TStore& s) { return ::mkfifo(s.Entry().c_str(), 0600) == 0; }, false,
         false},
        {"device",
         [](const TStore& s) {
             return ::mknod(s.Entry().c_str(), S_IFCHR | 0600, makedev(1, 5)) == 0;
         },
         false, false},
        {"folder", [](const TStore& s) { return fs::create_directory(s.Entry()); }, false, true},
    };
    for (const TFolderKind& kind : kKinds) {
        for (const TCase& c : cases) {
            const TStore store(kind);
            if (!c.make(store)) {
                GTEST_LOG_(INFO) << c.what << ": cannot be made here (needs root)";
                continue;
            }
            const auto parser = kind.open(store.root);
            const std::string text = AllText(*parser);
            const std::string where = std::string(kind.name) + ": " + c.what;
            EXPECT_EQ(parser->GetCount(), c.read ? 2 : 1) << where;
            EXPECT_EQ(parser->SkippedEntries(),
                      c.read || (c.folder && !kind.foldersCounted) ? 0 : 1)
                << where;
            EXPECT_NE(text.find("REAL"), std::string::npos) << where;
            EXPECT_EQ(text.find("INSIDE") != std::string::npos, c.read) << where;
            EXPECT_EQ(text.find("SECRET"), std::string::npos) << where;
        }
    }
}

TEST(StoreEntries, FileSwappedForALinkOutAfterTheListingIsThatMailsFailure) {
    for (const TFolderKind& kind : kKinds) {
        const TStore store(kind);
        WriteFile(store.Entry(), Mail("LISTED"));
        const auto parser = kind.open(store.root);
        ASSERT_EQ(parser->GetCount(), 2) << kind.name;
        fs::remove(store.Entry());
        fs::create_symlink(store.dir.Path() / "secret.txt", store.Entry());
        EXPECT_THROW(parser->GetMail(1), TKestrifyError) << kind.name;
        std::string header;
        EXPECT_THROW(parser->AppendRawHeader(1, header), TKestrifyError) << kind.name;
        EXPECT_EQ(header.find("SECRET"), std::string::npos) << kind.name;
    }
}

TEST(StoreEntries, FileReadUpToTheSizeItHadWhenOpened) {
    // Read into the thread's buffer and mapped; the file grows after it was
    // opened and is read as it was then.
    for (const std::size_t size : {std::size_t{100}, TMappedFile::SmallSize() + 4096}) {
        TTempDir dir;
        const fs::path file = dir.Path() / "mail";
        WriteFile(file, std::string(size, 'a'));
        const TStoreBoundary boundary(dir.Path());
        TFd fd = boundary.Open(AT_FDCWD, {}, file.c_str());
        const std::uint64_t opened = TStoreBoundary::PlainFileSize(fd.Get(), file);
        ASSERT_EQ(opened, size);
        {
            std::ofstream grow(file, std::ios::binary | std::ios::app);
            grow << std::string(3 << 20, 'b');
        }
        std::string buffer;
        if (size <= TMappedFile::SmallSize()) {
            // The size its name told is no longer the whole file.
            EXPECT_FALSE(TMappedFile::ReadIfSize(fd.Get(), size, buffer).has_value());
            const auto bytes = TMappedFile::ReadSmall(fd.Get(), opened, buffer);
            ASSERT_TRUE(bytes.has_value());
            EXPECT_EQ(*bytes, std::string(size, 'a'));
        } else {
            const auto mapped = TMappedFile::FromOpenFile(fd, opened, file);
            EXPECT_EQ(mapped->View(), std::string(size, 'a'));
        }
    }
}

TEST(StoreEntries, ThunderbirdFoldersLinkedToThemselvesAreListedOnce) {
    TTempDir home;
    const fs::path profile = home.Path() / ".thunderbird" / "p.default";
    const fs::path local = profile / "Mail" / "Local Folders";
    fs::create_directories(local / "Sub.sbd");
    WriteFile(home.Path() / ".thunderbird" / "profiles.ini",
              "[Profile0]\nName=p\nIsRelative=1\nPath=p.default\n");
    for (const char* file : {"Inbox", "A", "B", "Sub", "Sub.sbd/Deep"}) {
        WriteFile(local / file, "");
    }
    // Each level would list two more of itself, 32 levels deep.
    fs::create_directory_symlink(".", local / "A.sbd");
    fs::create_directory_symlink(".", local / "B.sbd");
    fs::create_directory_symlink("..", local / "Sub.sbd" / "Up.sbd");
    fs::create_directory_symlink(local, profile / "Mail" / "Again");

    const auto profiles = TThunderbirdProfiles::Find(home.Path());
    ASSERT_EQ(profiles.size(), 1u);
    ASSERT_EQ(profiles[0].accounts.size(), 1u);  // "Again" is the same folder
    std::vector<std::string> names;
    for (const auto& f : profiles[0].accounts[0].folders) {
        names.push_back(f.name + ":" + std::to_string(f.children.size()));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"A:0", "B:0", "Inbox:0", "Sub:1"}));
    EXPECT_EQ(profiles[0].accounts[0].folders[3].children[0].name, "Deep");
}
