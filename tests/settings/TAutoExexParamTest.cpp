#include "settings/TAutoExexParam.h"

#include <gtest/gtest.h>

#include "TestText.h"

TEST(AutoExexParam, CommandLineQuotesBothPaths) {
    TAutoExexParam p;
    p.SetParamFile(Sj("/home/u/案件 1.KFY"));
    p.SetCsvFile("/tmp/a \"b\".csv");
    p.SetSaveType(1);
    p.SetMakeBackup(true);
    EXPECT_EQ(p.GetCommandLine(), Sj("\"/home/u/案件 1.KFY\" ") + "\"/tmp/a \"\"b\"\".csv\" 1 1");
    p.SetMakeBackup(false);
    p.SetSaveType(0);
    p.SetParamFile("");
    EXPECT_EQ(p.GetCommandLine(), "\"\" \"/tmp/a \"\"b\"\".csv\" 0 0");
}
