#include "settings/TParamFormConvert.h"

#include <gtest/gtest.h>

#include "TempDir.h"
#include "settings/TIniDocument.h"
#include "settings/TSettingFile.h"

namespace {

TParamFormConvert Loaded(const std::string& section) {
    TIniDocument ini;
    ini.Parse("[FORM_CONVERT]\n" + section);
    TParamFormConvert form;
    form.SetScreenSize(1280, 1024);
    form.LoadFrom(ini);
    return form;
}

}  // namespace

TEST(ParamFormConvert, ResetCentresHalfTheScreen) {
    TParamFormConvert form;
    form.SetScreenSize(1365, 767);
    form.StoreGeometry(1, 2, 3, 4);
    form.StoreColumnWidths({7});
    form.SetKeepWindowSize(true);
    form.Reset();
    EXPECT_EQ(form.GetWidth(), 682);
    EXPECT_EQ(form.GetHeight(), 383);
    EXPECT_EQ(form.GetLeft(), 341);
    EXPECT_EQ(form.GetTop(), 192);
    EXPECT_TRUE(form.GetColumnWidths().empty());
    EXPECT_FALSE(form.GetKeepWindowSize());
    EXPECT_EQ(form.GetColumnWidth(0), 50);
    EXPECT_EQ(form.GetColumnWidth(1), 100);
}

TEST(ParamFormConvert, ZeroWidthReadsAsDefault) {
    TParamFormConvert form;
    form.StoreColumnWidths({0, 0, 33});
    EXPECT_EQ(form.GetColumnWidth(0), 50);
    EXPECT_EQ(form.GetColumnWidth(1), 100);
    EXPECT_EQ(form.GetColumnWidth(2), 33);
    EXPECT_EQ(form.GetColumnWidth(3), 100);
}

TEST(ParamFormConvert, LoadsOnlyWhatFlagsAllow) {
    const TParamFormConvert off =
        Loaded("ConvertFormSize=0\nWindowLeft=5\nConvertFormColSize=0\nGridCellCount=2\n");
    EXPECT_EQ(off.GetLeft(), 320);
    EXPECT_TRUE(off.GetColumnWidths().empty());

    const TParamFormConvert on = Loaded(
        "ConvertFormSize=1\nWindowLeft=5\nWindowWidth=x\nConvertFormColSize=1\n"
        "GridCellCount=3\nGridWidth0=30\nGridWidth2=70\n");
    EXPECT_EQ(on.GetLeft(), 5);
    EXPECT_EQ(on.GetTop(), 256);  // missing: the reset value
    EXPECT_EQ(on.GetWidth(), 640);
    EXPECT_EQ(on.GetColumnWidths(), (std::vector<int>{30, 100, 70}));
}

TEST(ParamFormConvert, DamagedCountReadsNoFurtherThanGridCanHave) {
    EXPECT_EQ(Loaded("ConvertFormColSize=1\nGridCellCount=2000000000\n").GetColumnWidths().size(),
              257u);
    EXPECT_TRUE(Loaded("ConvertFormColSize=1\nGridCellCount=-3\n").GetColumnWidths().empty());
}

TEST(ParamFormConvert, SavingWithFlagsOffKeepsStoredKeys) {
    TIniDocument ini;
    ini.Parse("[FORM_CONVERT]\nConvertFormSize=1\nWindowLeft=9\nGridWidth0=44\n");
    TParamFormConvert form;
    form.StoreGeometry(1, 2, 3, 4);
    form.SaveTo(ini);
    EXPECT_EQ(ini.Text(),
              "[FORM_CONVERT]\r\nConvertFormSize=0\r\nWindowLeft=9\r\nGridWidth0=44\r\n"
              "ConvertFormColSize=0\r\n\r\n");
}

TEST(ParamFormConvert, SavingWithFlagsOnWritesEverything) {
    TIniDocument ini;
    TParamFormConvert form;
    form.SetKeepWindowSize(true);
    form.SetKeepColumnWidths(true);
    form.StoreGeometry(1, 2, 3, 4);
    form.StoreColumnWidths({30, 0});
    form.SaveTo(ini);
    EXPECT_EQ(ini.Text(),
              "[FORM_CONVERT]\r\nConvertFormSize=1\r\nWindowLeft=1\r\nWindowTop=2\r\n"
              "WindowHeight=4\r\nWindowWidth=3\r\nConvertFormColSize=1\r\nGridCellCount=2\r\n"
              "GridWidth0=30\r\nGridWidth1=100\r\n\r\n");
}

TEST(ParamFormConvert, FileRoundTripBesideProject) {
    TTempDir dir;
    const std::string path = dir.File("p.KFY");
    TTempDir::Write(path, "[EML]\r\nMAILTYPE=2\r\n\r\n");
    TSettingFile out(path);
    out.Read();
    TParamFormConvert& form = *out.Project().convertForm;
    form.SetKeepColumnWidths(true);
    form.StoreColumnWidths({31, 120});
    out.Write();
    TSettingFile in(path);
    in.Read();
    const TParamFormConvert& back = *in.Project().convertForm;
    EXPECT_TRUE(back.GetKeepColumnWidths());
    EXPECT_EQ(back.GetColumnWidths(), (std::vector<int>{31, 120}));
    EXPECT_EQ(in.GetMailType(), 2);
    const std::string text = TTempDir::Read(path);
    EXPECT_EQ(text.rfind("[EML]\r\nMAILTYPE=2\r\n", 0), 0u);
    EXPECT_NE(text.find("[SYSTEM]\r\nVERSION=4\r\n\r\n[FORM_CONVERT]\r\n"), std::string::npos);
}

TEST(ParamFormConvert, ReadsSectionOfVersion3Project) {
    TSettingFile file(std::string(KESTRIFY_TEST_DATA_DIR) + "/settings/version3.KFY");
    file.Read();
    const TParamFormConvert& form = *file.Project().convertForm;
    EXPECT_TRUE(form.GetKeepWindowSize());
    EXPECT_EQ(form.GetLeft(), 10);
    EXPECT_EQ(form.GetHeight(), 300);
    EXPECT_EQ(form.GetColumnWidths(), (std::vector<int>{30, 100, 0}));
    EXPECT_EQ(form.GetColumnWidth(2), 100);
}
