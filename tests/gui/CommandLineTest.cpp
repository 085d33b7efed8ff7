#include <gtest/gtest.h>

#include "GuiTest.h"
#include "gui/app/TCommandLine.h"

namespace {

struct TCase {
    const char* name;
    QStringList arguments;
    const char* projectArgument;  // nullptr: none
    bool autoRun;
    int saveType;
    bool backup;
    std::optional<bool> onlyNew = std::nullopt;
};

}  // namespace

TEST(CommandLine, ReadsTheArgumentsAsTheStartAsks) {
    const QString p = Q("案件.KFY");
    const TCase cases[] = {
        {"none", {}, nullptr, false, 0, false},
        {"project", {p, Q("ignored")}, "案件.KFY", false, 0, false},
        {"-A is a file name", {Q("-A"), p, Q("c.csv"), Q("0")}, "-A", false, 0, false},
        {"no save type", {Q("-a"), p, Q("c.csv")}, nullptr, false, 0, false},
        {"save type not a number", {Q("-a"), p, Q("c.csv"), Q("x1")}, nullptr, false, 0, false},
        {"four arguments", {Q("-a"), p, Q("c.csv"), Q("1")}, nullptr, true, 1, true},
        {"backup 0", {Q("-a"), p, Q("c.csv"), Q("0"), Q("0")}, nullptr, true, 0, false},
        {"backup false", {Q("-a"), p, Q("c.csv"), Q("0"), Q("false")}, nullptr, true, 0, true},
        {"only new",
         {Q("-a"), p, Q("c.csv"), Q("0"), Q("1"), Q("--only-new")},
         nullptr,
         true,
         0,
         true,
         true},
        {"all",
         {Q("-a"), p, Q("c.csv"), Q("0"), Q("1"), Q("--all")},
         nullptr,
         true,
         0,
         true,
         false},
        {"-a --", {Q("-a"), Q("--"), p, Q("c.csv"), Q("1"), Q("0")}, nullptr, true, 1, false},
        {"-- project", {Q("--"), p}, "案件.KFY", false, 0, false},
        {"-- -a is a name", {Q("--"), Q("-a"), p, Q("c.csv"), Q("0")}, "-a", false, 0, false},
        {"-- alone", {Q("--")}, nullptr, false, 0, false},
        {"sixth ignored",
         {Q("-a"), p, Q("c.csv"), Q("7"), Q("0"), Q("x")},
         nullptr,
         true,
         7,
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TCommandLine line(c.arguments);
        ASSERT_EQ(line.ProjectArgument().has_value(), c.projectArgument != nullptr);
        if (c.projectArgument != nullptr) {
            EXPECT_EQ(*line.ProjectArgument(), Q(c.projectArgument));
        }
        const std::unique_ptr<TAutoExexParam> run = line.TakeAutoRun();
        ASSERT_EQ(run != nullptr, c.autoRun);
        if (run) {
            EXPECT_EQ(run->GetParamFile(), Sj("案件.KFY"));
            EXPECT_EQ(run->GetCsvFile(), "c.csv");
            EXPECT_EQ(run->GetSaveType(), c.saveType);
            EXPECT_EQ(run->GetMakeBackup(), c.backup);
            EXPECT_EQ(run->GetOnlyNew(), c.onlyNew);
        }
    }
}
