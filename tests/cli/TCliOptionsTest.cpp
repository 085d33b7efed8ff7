#include "TCliOptions.h"

#include <gtest/gtest.h>

#include "TUsageError.h"

namespace {

TCliOptions Parse(std::vector<std::string> args) {
    return TCliOptions::Parse(args);
}

TEST(TCliOptionsTest, PositionalsAndDefaults) {
    const TCliOptions o = Parse({"job.KFY"});
    EXPECT_EQ(o.action, TCliOptions::TAction::Convert);
    EXPECT_EQ(o.project, "job.KFY");
    EXPECT_FALSE(o.output);
    EXPECT_FALSE(o.saveType);
    EXPECT_FALSE(o.makeBackup);
    EXPECT_FALSE(o.utf8);
    EXPECT_EQ(o.jobs, 0);
    EXPECT_EQ(Parse({"job.KFY", "-"}).output, "-");
}

TEST(TCliOptionsTest, OptionsAnywhereAndInBothSpellings) {
    const TCliOptions o = Parse({"--save-type=1", "job.KFY", "--no-backup", "out.csv", "-j", "3",
                                 "--mail-type", "4", "--location=/m/In.mbx", "--encoding", "UTF-8",
                                 "--bom", "--force", "--stop-on-error", "-q"});
    EXPECT_EQ(o.project, "job.KFY");
    EXPECT_EQ(o.output, "out.csv");
    EXPECT_EQ(o.saveType, 1);
    EXPECT_EQ(o.makeBackup, false);
    EXPECT_EQ(o.jobs, 3);
    EXPECT_EQ(o.mailType, 4);
    EXPECT_EQ(o.location, "/m/In.mbx");
    EXPECT_TRUE(o.utf8 && o.byteOrderMark && o.force && o.stopOnError && o.quiet);
}

TEST(TCliOptionsTest, ShortOptionsBundle) {
    const TCliOptions o = Parse({"-qj4", "p", "--safe-cells"});
    EXPECT_TRUE(o.quiet && o.safeCells);
    EXPECT_EQ(o.jobs, 4);
    EXPECT_EQ(Parse({"-j2", "p"}).jobs, 2);
}

TEST(TCliOptionsTest, LastBackupChoiceWins) {
    EXPECT_EQ(Parse({"--no-backup", "--backup", "p"}).makeBackup, true);
    EXPECT_EQ(Parse({"--backup", "--no-backup", "p"}).makeBackup, false);
}

TEST(TCliOptionsTest, OnlyNewOrAllLastOneWins) {
    EXPECT_FALSE(Parse({"p"}).onlyNew);
    EXPECT_EQ(Parse({"--only-new", "p"}).onlyNew, true);
    EXPECT_EQ(Parse({"--only-new", "--all", "p"}).onlyNew, false);
    EXPECT_EQ(Parse({"--all", "p", "--only-new"}).onlyNew, true);
    EXPECT_TRUE(Parse({"p", "--forget"}).forget);
    EXPECT_FALSE(Parse({"p"}).forget);
}

TEST(TCliOptionsTest, DoubleDashEndsOptions) {
    const TCliOptions o = Parse({"--", "-odd.KFY", "--quiet"});
    EXPECT_EQ(o.project, "-odd.KFY");
    EXPECT_EQ(o.output, "--quiet");
    EXPECT_FALSE(o.quiet);
}

TEST(TCliOptionsTest, HelpAndVersionNeedNoProject) {
    EXPECT_EQ(Parse({"--help"}).action, TCliOptions::TAction::Help);
    EXPECT_EQ(Parse({"-h", "--version"}).action, TCliOptions::TAction::Help);
    EXPECT_EQ(Parse({"--version"}).action, TCliOptions::TAction::Version);
}

TEST(TCliOptionsTest, RefusesWhatItCannotActOn) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"a", "b", "c"},
        {"--what", "p"},
        {"-x", "p"},
        {"--save-type", "2", "p"},
        {"--save-type", "01x", "p"},
        {"--save-type", "", "p"},
        {"--mail-type", "-1", "p"},
        {"--mail-type", "99", "p"},
        {"--jobs", "0", "p"},
        {"--jobs", "257", "p"},
        {"--jobs", "99999999999999999999", "p"},
        {"p", "--jobs"},
        {"--encoding", "euc-jp", "p"},
        {"--bom", "p"},
        {"--quiet=yes", "p"},
        {"p", ""},
        {""},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (const auto& a : args) {
            joined += a + " ";
        }
        EXPECT_THROW(Parse(args), TUsageError) << joined;
    }
}

TEST(TCliOptionsTest, UsageErrorsNameTheOptionAndPointToHelp) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--nope", "p"}, "--nope"},
        {{"-qx", "p"}, "-x"},
        {{"--quiet=yes", "p"}, "--quiet は値をとりません"},
        {{"p", "-j"}, "-j には値が必要です"},
        {{"p", "--jobs"}, "--jobs には値が必要です"},
        {{"--save-type=", "p"}, "--save-type には 0〜1"},
    };
    for (const auto& [args, named] : cases) {
        try {
            Parse(args);
            ADD_FAILURE() << named;
        } catch (const TUsageError& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("--help"), std::string::npos);
        }
    }
}

}  // namespace
