#include "base/TOutputFile.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <csignal>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <iostream>
#include <stop_token>
#include <thread>

#include "AsUser.h"
#include "TempDir.h"

namespace {

using TKind = TOutputFile::TKind;
using TMode = TOutputFile::TMode;
namespace fs = std::filesystem;

struct stat Stat(const fs::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

// Reads a FIFO on another thread while the test writes it.
class TFifoReader {
  public:
    explicit TFifoReader(const fs::path& fifo)
        : thread_([this, fifo] { text_ = TTempDir::Read(fifo); }) {}
    std::string Text() {
        thread_.join();
        return text_;
    }

  private:
    std::string text_;
    std::thread thread_;
};

TEST(OutputFile, TargetDecidesHowItIsWritten) {
    const bool root = ::geteuid() == 0;
    struct TCase {
        const char* name;
        std::function<void(const fs::path&)> make;  // the target, made beside "other"
        TKind kind;
        std::function<void(const fs::path&)> check;
        bool needsRoot = false;
    };
    const TCase cases[] = {
        {"missing", [](const fs::path&) {}, TKind::Renamed, {}},
        {"own file keeps its mode",
         [](const fs::path& t) {
             TTempDir::Write(t, "old text");
             ::chmod(t.c_str(), 0640);
         },
         TKind::Renamed, [](const fs::path& t) { EXPECT_EQ(Stat(t).st_mode & 07777, 0640u); }},
        {"hard link keeps sharing",
         [](const fs::path& t) {
             TTempDir::Write(t, "old text");
             fs::create_hard_link(t, t.parent_path() / "other");
         },
         TKind::InPlace,
         [](const fs::path& t) { EXPECT_EQ(TTempDir::Read(t.parent_path() / "other"), "new"); }},
        {"someone else's file keeps owner and mode",
         [](const fs::path& t) {
             TTempDir::Write(t, "old text");
             ::chmod(t.c_str(), 0640);
             ASSERT_EQ(::chown(t.c_str(), kOtherUser, kOtherGroup), 0);
         },
         TKind::InPlace,
         [](const fs::path& t) {
             EXPECT_EQ(Stat(t).st_uid, kOtherUser);
             EXPECT_EQ(Stat(t).st_mode & 07777, 0640u);
         },
         true},
        {"device",
         [](const fs::path& t) { ASSERT_EQ(::mknod(t.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0); },
         TKind::Stream, [](const fs::path& t) { EXPECT_TRUE(S_ISCHR(Stat(t).st_mode)); }, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && !root) {
            std::cout << "skipped without root: " << c.name << "\n";
            continue;
        }
        TTempDir dir;
        const fs::path target = dir.Path() / "out.csv";
        c.make(target);
        const std::string before = dir.Listing();
        {
            TOutputFile file(target, TMode::Replace);
            ASSERT_TRUE(file.IsOpen());
            EXPECT_EQ(file.Kind(), c.kind);
            EXPECT_TRUE(file.Write("new"));
            EXPECT_TRUE(file.Commit());
        }
        if (c.kind != TKind::Stream) {
            EXPECT_EQ(TTempDir::Read(target), "new");
        }
        if (c.check) {
            c.check(target);
        }
        EXPECT_EQ(dir.Listing(), c.kind == TKind::Renamed && before.empty() ? "out.csv " : before);
    }
}

TEST(OutputFile, FifoIsWrittenStraightThrough) {
    TTempDir dir;
    const fs::path fifo = dir.Path() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    TFifoReader reader(fifo);
    {
        TOutputFile file(fifo, TMode::Append);
        ASSERT_TRUE(file.IsOpen());
        EXPECT_EQ(file.Kind(), TKind::Stream);
        EXPECT_TRUE(file.Write("rows\r\n"));
        EXPECT_TRUE(file.Commit());
    }
    EXPECT_EQ(reader.Text(), "rows\r\n");
    EXPECT_EQ(dir.Listing(), "pipe ");
}

TEST(OutputFile, FailuresKeepTheSystemsReasonAndLeaveNothingBehind) {
    TTempDir dir;
    fs::create_directory(dir.Path() / "sub");
    struct {
        fs::path target;
        int error;
    } const cases[] = {{dir.Path() / "sub", EISDIR}, {dir.Path() / "missing" / "f", ENOENT}};
    for (const auto& c : cases) {
        TOutputFile file(c.target, TMode::Replace);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_EQ(file.Error(), c.error) << c.target;
    }
    if (::geteuid() == 0) {
        // A device that is always full: the failure is reported and no
        // temporary file grows beside it.
        const fs::path full = dir.Path() / "full";
        ASSERT_EQ(::mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)), 0);
        TOutputFile file(full, TMode::Replace);
        EXPECT_FALSE(file.Write(std::string(1 << 16, 'x')) && file.Commit());
        EXPECT_EQ(file.Error(), ENOSPC);
        EXPECT_EQ(dir.Listing(), "full sub ");
    }
}

TEST(OutputFile, OrdinaryUserRewritesInPlaceInAFolderItCannotWrite) {
    TTempDir dir;
    const fs::path folder = dir.Path() / "ro";
    fs::create_directory(folder);
    TTempDir::Write(folder / "out.csv", "old");
    ASSERT_TRUE(GiveToOrdinaryUser(folder) && GiveToOrdinaryUser(folder / "out.csv"));
    ::chmod(folder.c_str(), 0555);
    const int status = AsOrdinaryUser([&] {
        TOutputFile file(folder / "out.csv", TMode::Replace);
        return file.Kind() == TKind::InPlace && file.Write("new") && file.Commit() ? 0 : 1;
    });
    ::chmod(folder.c_str(), 0755);
    if (status == 77) {
        GTEST_SKIP() << "cannot run as an ordinary user";
    }
    EXPECT_EQ(status, 0);
    EXPECT_EQ(TTempDir::Read(folder / "out.csv"), "new");
}

TEST(OutputFile, AppendSeesTheOldTextAndHoldsALock) {
    TTempDir dir;
    const fs::path target = dir.Path() / "out.csv";
    TTempDir::Write(target, "a,b\r\nc");
    TOutputFile first(target, TMode::Append);
    ASSERT_EQ(first.Kind(), TKind::Appended);
    EXPECT_EQ(first.Existing().size, 6);
    EXPECT_EQ(first.Existing().head, "a,b\r\nc");
    EXPECT_FALSE(first.Existing().endsInLineBreak);

    std::atomic<bool> opened{false};
    std::thread second([&] {
        TOutputFile file(target, TMode::Append);
        opened = true;
        EXPECT_EQ(file.Existing().size, 8);  // measured once the first run is done
        EXPECT_TRUE(file.Write("2") && file.Commit());
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(opened);
    EXPECT_TRUE(first.Write("1\n") && first.Commit());
    second.join();
    EXPECT_EQ(TTempDir::Read(target), "a,b\r\nc1\n2");
}

TEST(OutputFile, StopLeavesTheTargetAsItWas) {
    for (const TMode mode : {TMode::Replace, TMode::Append}) {
        TTempDir dir;
        const fs::path target = dir.Path() / "out.csv";
        TTempDir::Write(target, "old\r\n");
        std::stop_source stop;
        TOutputFile file(target, mode, stop.get_token());
        EXPECT_TRUE(file.Write("part"));
        stop.request_stop();
        EXPECT_FALSE(file.Write("more"));
        EXPECT_FALSE(file.Commit());
        EXPECT_TRUE(file.Stopped());
        EXPECT_EQ(TTempDir::Read(target), "old\r\n");
        EXPECT_EQ(dir.Listing(), "out.csv ");
    }
}

TEST(OutputFile, LeftoversOfAKilledRunGoWithTheNextWriteOfTheSameTarget) {
    TTempDir dir;
    const auto killedWhileWriting = [&](const char* name) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            TOutputFile* file = new TOutputFile(dir.Path() / name, TMode::Replace);
            file->Write("half");
            ::_exit(0);  // as if killed: nothing cleaned up
        }
        ::waitpid(pid, nullptr, 0);
    };
    killedWhileWriting("out.csv");
    killedWhileWriting("other.csv");
    ASSERT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 2);
    ASSERT_TRUE(TOutputFile::WriteWhole(dir.Path() / "out.csv", "x"));
    const std::string listing = dir.Listing();
    EXPECT_EQ(listing.substr(listing.find(' ') + 1), "out.csv ");  // other.csv's stays
}

// The caller's own descriptor, by any of its names: written at its offset,
// never renamed over, truncated or opened anew.
TEST(OutputFile, CallerDescriptorIsWrittenWhereItStands) {
    TTempDir dir;
    const fs::path log = dir.Path() / "log.csv";
    TTempDir::Write(log, "old\n");
    const ino_t inode = Stat(log).st_ino;
    const int fd = ::open(log.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    const std::string n = std::to_string(fd);
    fs::create_symlink("/proc/self/fd/" + n, dir.Path() / "link.csv");
    std::string expected = "old\n";
    for (const fs::path& name :
         {fs::path("/proc/self/fd/" + n), fs::path("/dev/fd/" + n), dir.Path() / "link.csv"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TOutputFile::CallerDescriptor(name), fd);
        EXPECT_FALSE(TOutputFile(name, TMode::RenamedOnly).IsOpen());
        TOutputFile file(name, TMode::Replace);
        ASSERT_TRUE(file.IsOpen());
        EXPECT_EQ(file.Kind(), TKind::Stream);
        EXPECT_TRUE(file.Write("row\n") && file.Commit());
        expected += "row\n";
    }
    ::close(fd);
    EXPECT_EQ(TTempDir::Read(log), expected);
    EXPECT_EQ(Stat(log).st_ino, inode);
    EXPECT_EQ(dir.Listing(), "link.csv log.csv ");
    EXPECT_EQ(TOutputFile::CallerDescriptor(log), std::nullopt);
}

// New text that cannot all be written (here a file-size limit, as a full
// disk) leaves the old file whole, rewritten in place or renamed, and no
// temporary file.
TEST(OutputFile, TextThatDoesNotFitLeavesTheOldFile) {
    TTempDir dir;
    const fs::path renamed = dir.Path() / "renamed.csv";
    const fs::path inPlace = dir.Path() / "inplace.csv";
    TTempDir::Write(renamed, "old");
    TTempDir::Write(inPlace, "old");
    fs::create_hard_link(inPlace, dir.Path() / "link");
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int failures = 0;
        for (const fs::path& target : {renamed, inPlace}) {
            TOutputFile file(target, TMode::Replace);
            failures +=
                !(file.Write(std::string(10000, 'x')) && file.Commit()) && file.Error() == EFBIG;
        }
        ::_exit(failures);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 2);
    EXPECT_EQ(TTempDir::Read(renamed), "old");
    EXPECT_EQ(TTempDir::Read(inPlace), "old");
    EXPECT_EQ(dir.Listing(), "inplace.csv link renamed.csv ");
}

// A replaced file keeps its group and extended attributes; a file given a
// look (a backup of a private file) is private while it is written.
TEST(OutputFile, ReplacementKeepsGroupAndAttributes) {
    TTempDir dir;
    const fs::path target = dir.Path() / "out.csv";
    TTempDir::Write(target, "old");
    ::chmod(target.c_str(), 0640);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(target.c_str(), 0, kOtherGroup), 0);
    }
    const bool attributes = ::setxattr(target.c_str(), "user.kestrify", "kept", 4, 0) == 0;
    {
        TOutputFile file(target, TMode::Replace);
        EXPECT_EQ(file.Kind(), TKind::Renamed);
        EXPECT_TRUE(file.Write("new") && file.Commit());
    }
    EXPECT_EQ(TTempDir::Read(target), "new");
    EXPECT_EQ(Stat(target).st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(Stat(target).st_gid, kOtherGroup);
    }
    if (attributes) {
        char value[8] = {};
        EXPECT_EQ(::getxattr(target.c_str(), "user.kestrify", value, sizeof value), 4);
        EXPECT_STREQ(value, "kept");
    }

    const fs::path backup = dir.Path() / "out.bak";
    TOutputFile file(backup, TMode::Replace, {}, TOutputFile::TLook{0600, ::getuid(), ::getgid()});
    ASSERT_TRUE(file.Write("copy"));
    for (const auto& entry : fs::directory_iterator(dir.Path())) {
        if (entry.path().filename().string().starts_with(".kfy-")) {
            EXPECT_EQ(Stat(entry.path()).st_mode & 0077, 0u) << "readable while written";
        }
    }
    EXPECT_TRUE(file.Commit());
    EXPECT_EQ(Stat(backup).st_mode & 07777, 0600u);
}

}  // namespace
