#include "base/TAtomicFile.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "TempDir.h"

TEST(AtomicFile, ReplacesOnlyOnCommit) {
    TTempDir dir;
    const auto target = dir.Path() / "f.txt";
    TTempDir::Write(target, "old");
    {
        TAtomicFile file(target);
        ASSERT_TRUE(file.IsOpen());
        EXPECT_TRUE(file.Write("new "));
        EXPECT_TRUE(file.Write("text"));
        EXPECT_EQ(TTempDir::Read(target), "old");
    }  // not committed: nothing changes, nothing is left behind
    EXPECT_EQ(TTempDir::Read(target), "old");
    EXPECT_EQ(dir.Listing(), "f.txt ");

    EXPECT_TRUE(TAtomicFile::WriteWhole(target, "new text"));
    EXPECT_EQ(TTempDir::Read(target), "new text");
    EXPECT_EQ(dir.Listing(), "f.txt ");
}

TEST(AtomicFile, KeepsPermissionBitsOfReplacedFile) {
    TTempDir dir;
    const auto target = dir.Path() / "f.txt";
    TTempDir::Write(target, "old");
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(TAtomicFile::WriteWhole(target, "new"));
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(AtomicFile, WritesThroughSymbolicLink) {
    TTempDir dir;
    TTempDir::Write(dir.Path() / "real.txt", "old");
    std::filesystem::create_symlink("real.txt", dir.Path() / "link.txt");
    ASSERT_TRUE(TAtomicFile::WriteWhole(dir.Path() / "link.txt", "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path() / "link.txt"));
    EXPECT_EQ(TTempDir::Read(dir.Path() / "real.txt"), "new");
}

TEST(AtomicFile, FailuresLeaveTargetAlone) {
    TTempDir dir;
    EXPECT_FALSE(TAtomicFile::WriteWhole(dir.Path() / "missing" / "f.txt", "x"));
    std::filesystem::create_directory(dir.Path() / "sub");
    TTempDir::Write(dir.Path() / "sub" / "keep", "k");
    EXPECT_FALSE(TAtomicFile::WriteWhole(dir.Path() / "sub", "x"));
    EXPECT_EQ(TTempDir::Read(dir.Path() / "sub" / "keep"), "k");
    EXPECT_EQ(dir.Listing(), "sub ");
}
