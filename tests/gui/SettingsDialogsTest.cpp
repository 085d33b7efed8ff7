#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include "GuiTest.h"
#include "TempHome.h"
#include "base/TKestrifyError.h"
#include "gui/settings/TAppIni.h"
#include "gui/settings/TFileAssociation.h"
#include "gui/settings/TFormAbout.h"
#include "gui/settings/TFormClearSetting.h"
#include "gui/settings/TFormCommonSetting.h"
#include "gui/settings/TFormProjectSetting.h"
#include "gui/settings/TkAppInfo.h"
#include "gui/settings/TkKestrifyInfo.h"
#include "settings/TParamFormConvert.h"

namespace {

class SettingsDialogsTest : public GuiFixture {
  protected:
    TTempHome home;
    std::filesystem::path folder = home.Config() / "Kestrify";
    std::filesystem::path file = folder / "Kestrify.ini";
    QString program = Q("/opt/kestrify/bin/kestrify");
};

TEST_F(SettingsDialogsTest, GeneralSettingsOkWritesAtOnceCancelDiscards) {
    for (const bool ok : {false, true}) {
        TAppIni ini(folder);
        ini.SetRestoreWindowSize(true);
        TFormCommonSetting form(ini, program);
        ShowActive(form);
        EXPECT_EQ(form.windowTitle(), Q("全般設定"));
        EXPECT_EQ(form.GetHelpContext(), 72);
        auto* reopen = Find<QCheckBox>(form, "CheckBoxRestoreParamFile");
        auto* size = Find<QCheckBox>(form, "CheckBoxRestoreWindowSize");
        EXPECT_FALSE(reopen->isChecked());
        EXPECT_TRUE(size->isChecked());
        Click(reopen);
        Click(size);
        Click(Find<QPushButton>(form, ok ? "BtnOK" : "BtnCancel"));
        EXPECT_EQ(ini.GetRestoreParamFile(), ok);
        EXPECT_EQ(std::filesystem::exists(file), ok);
        if (ok) {
            EXPECT_NE(TTempDir::Read(file).find("RestoreWindowSize=0\r\nRestoreParamFile=1"),
                      std::string::npos);
        }
    }
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(SettingsDialogsTest, AssociationButtonsActAtOnceAndReport) {
    TAppIni ini(folder);
    TFormCommonSetting form(ini, program);
    ShowActive(form);
    auto* status = Find<QLabel>(form, "LabelLinkedText");
    EXPECT_EQ(status->text(), Q(" 拡張子'KFY'の付いたファイルのタイプは\n 設定されていません。"));
    EXPECT_EQ(Find<QLabel>(form, "StaticTextNkf")->text(),
              Q("Kestrify に組み込まれた変換（Shift_JIS の変換表と iconv）を使います。"));
    Find<QPushButton>(form, "BtnLink")->click();
    ASSERT_EQ(modal.Boxes().size(), 1u);
    EXPECT_EQ(modal.Boxes()[0].text, Q("関連付けに成功しました。"));
    EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Information);
    EXPECT_EQ(status->text(),
              Q(" 拡張子'KFY'の付いたファイルのタイプは\n 'KESTRIFYファイル'です。"));
    Find<QPushButton>(form, "BtnUnlink")->click();
    EXPECT_EQ(status->text(), Q(" 拡張子'KFY'の付いたファイルのタイプは\n 設定されていません。"));
    EXPECT_EQ(modal.Boxes().size(), 1u);
    form.reject();
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(SettingsDialogsTest, AFailedAssociationSaysSo) {
    std::filesystem::remove_all(home.Config());
    TTempDir::Write(home.Config(), "a file where the folder should be");
    TAppIni ini(folder);
    TFormCommonSetting form(ini, program);
    Find<QPushButton>(form, "BtnLink")->click();
    ASSERT_EQ(modal.Boxes().size(), 1u);
    EXPECT_EQ(modal.Boxes()[0].text, Q("関連付けに失敗しました。"));
    EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Error);
}

TEST_F(SettingsDialogsTest, ClearingIsNotUndoneAtTheEnd) {
    {
        TAppIni ini(folder);
        ini.RecentAdd("/a.KFY");
        ASSERT_TRUE(TFileAssociation().Associate(program));
        TFormClearSetting form(ini, program);
        ShowActive(form);
        EXPECT_EQ(form.windowTitle(), Q("設定の削除"));
        Click(Find<QPushButton>(form, "BtnOK"));
        EXPECT_EQ(form.result(), QDialog::Accepted);
        ini.SetWindowWidth(999);
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(TFileAssociation().Description().isEmpty());
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(SettingsDialogsTest, ClearingKeepsAForeignAssociationAndAFullFolder) {
    TAppIni ini(folder);
    ini.Write();
    TTempDir::Write(folder / "mine.txt", "keep");
    ASSERT_TRUE(TFileAssociation().Associate(Q("/usr/bin/other-copy")));
    TFormClearSetting form(ini, program);
    form.BtnOKClick();
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_TRUE(std::filesystem::exists(folder / "mine.txt"));
    EXPECT_EQ(TFileAssociation().HandlerProgram(), Q("/usr/bin/other-copy"));
}

TEST_F(SettingsDialogsTest, ProjectSettingsSetTheFlagsOnlyOnOk) {
    for (const bool ok : {false, true}) {
        TParamFormConvert geometry;
        geometry.SetKeepWindowSize(true);
        TCSVSaveParam save;
        bool htmlText = true;
        TFormProjectSetting form(geometry, save, "", htmlText);
        ShowActive(form);
        EXPECT_EQ(form.GetHelpContext(), 139);
        auto* size = Find<QCheckBox>(form, "CheckBoxFormSize");
        auto* widths = Find<QCheckBox>(form, "CheckBoxGridColSize");
        auto* onlyNew = Find<QCheckBox>(form, "CheckBoxOnlyNew");
        EXPECT_TRUE(size->isChecked());
        EXPECT_FALSE(widths->isChecked());
        EXPECT_FALSE(onlyNew->isChecked());
        EXPECT_FALSE(Find<QPushButton>(form, "BtnForget")->isEnabled()) << "no CSV file";
        auto* html = Find<QCheckBox>(form, "CheckBoxHtmlText");
        EXPECT_TRUE(html->isChecked());
        Click(size);
        Click(widths);
        Click(onlyNew);
        Click(html);
        Click(Find<QPushButton>(form, ok ? "BtnOK" : "BtnCancel"));
        EXPECT_EQ(geometry.GetKeepWindowSize(), !ok);
        EXPECT_EQ(geometry.GetKeepColumnWidths(), ok);
        EXPECT_EQ(save.GetOnlyNew(), ok);
        EXPECT_EQ(htmlText, !ok);
    }
}

TEST_F(SettingsDialogsTest, AboutShowsProductAndVersionAndLinksToHelp) {
    TFormAbout form;
    ShowActive(form);
    EXPECT_EQ(form.windowTitle(), Q("バージョン情報"));
    const TkAppInfo& info = TkKestrifyInfo::Instance().AppInfo();
    EXPECT_EQ(info.Value(TkAppInfo::ProductName), Q("Kestrify"));
    EXPECT_FALSE(info.Value(TkAppInfo::FileVersion).isEmpty());
    EXPECT_TRUE(info.Value(11).isEmpty());
    EXPECT_THROW(TkAppInfo{QString()}, TKestrifyError);  // a build without a version
    EXPECT_EQ(Find<QLabel>(form, "LabelProductName")->text(), Q("Kestrify"));
    EXPECT_EQ(Find<QLabel>(form, "LabelVersion")->text(), info.Value(TkAppInfo::FileVersion));
    EXPECT_FALSE(Find<QLabel>(form, "ProgramIcon")->pixmap().isNull());
    form.LinkClick();  // the build has no web address: the help contents
    EXPECT_EQ(help.Topics(), std::vector<int>{1});
}

TEST_F(SettingsDialogsTest, F1ShowsEachDialogsTopic) {
    TAppIni ini(folder);
    TParamFormConvert geometry;
    TCSVSaveParam save;
    TFormCommonSetting common(ini, program);
    bool htmlText = false;
    TFormProjectSetting project(geometry, save, "", htmlText);
    TFormClearSetting clear(ini, program);
    for (QDialog* form : std::initializer_list<QDialog*>{&common, &project, &clear}) {
        ShowActive(*form);
        QTest::keyClick(form, Qt::Key_F1);
        form->hide();
    }
    EXPECT_EQ(help.Topics(), (std::vector<int>{72, 139, 150}));
}

}  // namespace
