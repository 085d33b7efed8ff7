#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <functional>

#include "TempDir.h"
#include "settings/TWineRegistry.h"

namespace {

namespace fs = std::filesystem;

// A prefix as Wine leaves it: user.reg with escaped key names, a non-ASCII
// value written as \x escapes, and the folders on drive C.
class WineRegistryTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TTempDir::Write(dir.Path() / "user.reg",
                        "WINE REGISTRY Version 2\n"
                        ";; All keys relative to \\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                        "[Identities] 1700000000\n"
                        "#time=1da0\n"
                        "\"Default User ID\"=\"{AB-12}\"\n\n"
                        "[Identities\\\\{AB-12}\\\\Software\\\\Microsoft\\\\Outlook "
                        "Express\\\\5.0] 1700000000\n"
                        "\"Store Root\"=str(2):\"%USERPROFILE%\\\\Local "
                        "Settings\\\\\\x30e1\\x30fc\\x30eb\"\n"
                        "\"Number\"=dword:00000001\n\n"
                        "[Software\\\\Qualcomm\\\\Eudora\\\\CommandLine] 1700000000\n"
                        "\"Current\"=\"D:\\\\Eudora\\\\ D:\\\\Eudora\\\\eudora.ini\"\n\n"
                        "[Volatile Environment] 1700000000\n"
                        "\"USERPROFILE\"=\"C:\\\\users\\\\taro\"\n");
        fs::create_directories(dir.Path() / "drive_c/users/taro/local settings/メール");
    }
    TTempDir dir;
};

}  // namespace

TEST_F(WineRegistryTest, FindsTheStoresWhereTheClientsLeftThem) {
    const TWineRegistry registry(dir.Path());
    EXPECT_EQ(registry.Value("identities", "default user id"), "{AB-12}");
    EXPECT_EQ(
        registry.Value("Identities\\{AB-12}\\Software\\Microsoft\\Outlook Express\\5.0", "Number"),
        std::nullopt);
    // Expanded, mapped into drive_c, the folder found despite its case.
    EXPECT_EQ(registry.OutlookExpressStoreRoot(),
              dir.Path() / "drive_c/users/taro/local settings/メール");
    // The command line up to its first blank, then the folder part; drive D
    // goes through dosdevices.
    EXPECT_EQ(registry.EudoraFolder(), dir.Path() / "dosdevices/d:/Eudora");
    EXPECT_EQ(registry.MapPath("relative\\path"), std::nullopt);
}

TEST_F(WineRegistryTest, MissingHiveOrKeysGiveNothing) {
    fs::remove(dir.Path() / "user.reg");
    const TWineRegistry empty(dir.Path());
    EXPECT_EQ(empty.OutlookExpressStoreRoot(), std::nullopt);
    EXPECT_EQ(empty.EudoraFolder(), std::nullopt);

    TTempDir::Write(dir.Path() / "user.reg", "[Identities]\n\"Default User ID\"=\"{X}\"\n");
    EXPECT_EQ(TWineRegistry(dir.Path()).OutlookExpressStoreRoot(), std::nullopt);
}

// A hive that is no regular file (a FIFO would wait for a writer, a device
// would be read without end) or far too large reads as no hive.
TEST_F(WineRegistryTest, OnlyARegularHiveOfSaneSizeIsRead) {
    const fs::path hive = dir.Path() / "user.reg";
    const std::function<void()> makers[] = {
        [&] { ASSERT_EQ(::mkfifo(hive.c_str(), 0600), 0); },
        [&] { fs::create_directory(hive); },
        [&] { fs::resize_file(hive, std::uintmax_t{64} << 20); },
    };
    for (const auto& make : makers) {
        fs::remove_all(hive);
        TTempDir::Write(hive, "");
        if (&make != &makers[2]) {
            fs::remove(hive);
        }
        make();
        const TWineRegistry registry(dir.Path());
        EXPECT_EQ(registry.Value("identities", "default user id"), std::nullopt);
    }
}
