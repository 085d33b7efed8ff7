#include "gui/settings/TAppIni.h"

#include <gtest/gtest.h>
#include <QDir>

#include "TempHome.h"
#include "TestText.h"
#include "base/TKestrifyError.h"
#include "gui/base/TQtText.h"
#include "gui/settings/TShellFolder.h"

namespace {

class AppIniTest : public ::testing::Test {
  protected:
    TTempHome home;
    std::filesystem::path folder = home.Config() / "Kestrify";
    std::filesystem::path file = folder / "Kestrify.ini";
};

TEST_F(AppIniTest, LivesInTheConfigurationFolderAndIsCreatedOnlyByWrites) {
    {
        TAppIni& ini = TAppIni::Instance();
        EXPECT_EQ(ini.GetFileName(), file);
        EXPECT_TRUE(std::filesystem::is_directory(folder));
        EXPECT_EQ(ini.GetWindowHeight(), 437);
        EXPECT_EQ(ini.GetWindowWidth(), 464);
        ini.SetWindowWidth(900);  // a run without projects
        ini.SetLastParamFile("/p/a.KFY");
        TAppIni::ReleaseInstance();
    }
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(TAppIni::Instance().GetWindowWidth(), 464);
    TAppIni::ReleaseInstance();
}

TEST_F(AppIniTest, InfoKeysAreWrittenInOrderAndKeepOtherSections) {
    std::filesystem::create_directories(folder);
    TTempDir::Write(file, "[Mine]\r\nx=1\r\n");
    {
        TAppIni ini(folder);
        ini.SetLastParamFile(Sj("/p/案件.KFY"));
        ini.SetWindowHeight(500);
        ini.SetRestoreParamFile(true);
    }  // the file exists: the end of the program writes
    EXPECT_EQ(TTempDir::Read(file),
              "[Mine]\r\nx=1\r\n\r\n[INFO]\r\nLastParamFile=" + Sj("/p/案件.KFY") +
                  "\r\nWindowHeight=500\r\nWindowWidth=464\r\nRestoreWindowSize=0\r\n"
                  "RestoreParamFile=1\r\n\r\n");
    TAppIni again(folder);
    EXPECT_EQ(again.GetLastParamFile(), Sj("/p/案件.KFY"));
    EXPECT_TRUE(again.GetRestoreParamFile());
    EXPECT_FALSE(again.GetRestoreWindowSize());
}

struct RecentCase {
    const char* name;
    std::vector<std::string> added;
    std::vector<std::string> expected;
};

std::vector<std::string> Numbered(int from, int to) {
    std::vector<std::string> paths;
    for (int i = from; from <= to ? i <= to : i >= to; i += from <= to ? 1 : -1) {
        paths.push_back("/p/" + std::to_string(i) + ".KFY");
    }
    return paths;
}

class RecentList : public ::testing::TestWithParam<RecentCase> {};

TEST_P(RecentList, MostRecentFirstWithoutDuplicates) {
    TTempHome home;
    TAppIni ini(home.Config() / "Kestrify");
    for (const std::string& path : GetParam().added) {
        ini.RecentAdd(path);
    }
    EXPECT_EQ(ini.GetRecentFiles(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecentList,
    ::testing::Values(RecentCase{"ABA", {"/a.KFY", "/b.KFY", "/a.KFY"}, {"/a.KFY", "/b.KFY"}},
                      RecentCase{"ElevenKeepTen", Numbered(1, 11), Numbered(11, 2)},
                      RecentCase{"CaseMatters", {"/p/a.KFY", "/p/A.KFY"}, {"/p/A.KFY", "/p/a.KFY"}},
                      RecentCase{"Japanese",
                                 {Sj("/メール/一.KFY"), "/x.KFY", Sj("/メール/一.KFY")},
                                 {Sj("/メール/一.KFY"), "/x.KFY"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppIniTest, RemoveLeavesAGapThatReadingSkips) {
    TAppIni ini(folder);
    for (const char* p : {"/c.KFY", "/b.KFY", "/a.KFY", "/b.KFY"}) {
        ini.RecentAdd(p);  // the last add moves b first: b a c
    }
    ini.RecentRemove("/a.KFY");
    ini.RecentRemove("/missing.KFY");
    EXPECT_EQ(ini.GetRecentFiles(), (std::vector<std::string>{"/b.KFY", "/c.KFY"}));
    EXPECT_EQ(TTempDir::Read(file), "[Setting File]\r\nFile0=/b.KFY\r\nFile2=/c.KFY\r\n\r\n");
    ini.RecentAdd("/d.KFY");  // an add renumbers
    EXPECT_EQ(TTempDir::Read(file),
              "[Setting File]\r\nFile0=/d.KFY\r\nFile1=/b.KFY\r\nFile2=/c.KFY\r\n\r\n");
}

TEST_F(AppIniTest, AWriteAfterTheFolderWasRemovedBringsItBack) {
    TAppIni ini(folder);
    std::filesystem::remove_all(folder);
    ini.RecentAdd("/a.KFY");
    EXPECT_EQ(ini.GetRecentFiles(), std::vector<std::string>{"/a.KFY"});
}

TEST_F(AppIniTest, AnUnreadableFileIsNotReplaced) {
    std::filesystem::create_directories(file);  // a folder where the file should be
    TAppIni ini(folder);
    EXPECT_TRUE(ini.GetRecentFiles().empty());
    EXPECT_THROW(ini.RecentAdd("/a.KFY"), TKestrifyError);
    EXPECT_THROW(ini.Write(), TKestrifyError);
    EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST(ShellFolder, KindsFromTheDesktopsFolders) {
    TTempHome home;
    const QString config = QString::fromStdString(home.Config().string());
    EXPECT_EQ(TShellFolder::Path(TShellFolder::AppData), config);
    EXPECT_EQ(TShellFolder::Path(TShellFolder::Desktop),
              QString::fromStdString((home.Path() / "Desktop").string()));
    EXPECT_EQ(TShellFolder::Path(28), config + QStringLiteral("/autostart"));
    for (const int none : {0, 2, 9, 13, 25}) {
        EXPECT_TRUE(TShellFolder::Path(none).isEmpty()) << none;
    }
    for (const int bad : {-1, 30}) {
        try {
            TShellFolder::Path(bad);
            ADD_FAILURE() << bad;
        } catch (const TKestrifyError& e) {
            EXPECT_EQ(TQtText::FromSjis(e.what()),
                      QString::fromUtf8("指定されたコードが見つかりません。"));
        }
    }
}

}  // namespace
