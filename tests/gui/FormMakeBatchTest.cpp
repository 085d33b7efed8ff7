#include <gtest/gtest.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "GuiTest.h"
#include "TDovecot.h"
#include "TempDir.h"
#include "gui/app/TFormMakeBatch.h"
#include "gui/controls/TRadioGroup.h"
#include "settings/TSettingFile.h"

namespace {

class MakeBatchTest : public GuiFixture {
  protected:
    MakeBatchTest() {
        project = dir.Path() / "案件 A" / "お問い合わせ.KFY";
        std::filesystem::create_directories(project.parent_path());
        TTempDir::Write(project, "[EML]\n");
        form.SetProgramPath(QStringLiteral("/opt/kfy bin/kestrify"));
        ShowActive(form);
    }

    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(form, name); }
    void Press(const char* name) {
        QTest::mouseClick(Find<QPushButton>(form, name), Qt::LeftButton);
    }
    int Page() { return Find<QTabWidget>(form, "PageControl")->currentIndex(); }
    QString LastBox() { return modal.Boxes().empty() ? QString() : modal.Boxes().back().text; }
    // Fills both pages and presses Make, the save dialog answered with `script`.
    void Make(const QString& csv, const std::filesystem::path& script) {
        Edit("EditParamFile")->setText(QString::fromStdString(project.string()));
        Press("BitBtnNext");
        Edit("EditCSVFile")->setText(csv);
        modal.AnswerFile(QString::fromStdString(script.string()));
        Press("BtnMake");
    }

    TTempDir dir;
    std::filesystem::path project;
    TFormMakeBatch form;
};

TEST_F(MakeBatchTest, NextNeedsAnExistingProject) {
    EXPECT_EQ(form.windowTitle(), Q("自動実行バッチファイル作成"));
    for (const std::string& path : {std::string(), dir.Path().string(), project.string() + "x"}) {
        Edit("EditParamFile")->setText(QString::fromStdString(path));
        Press("BitBtnNext");
        EXPECT_EQ(LastBox(), Q("プロジェクトファイルの場所が選択されていません。"));
        EXPECT_EQ(modal.Boxes().back().kind, TMsgKind::Information);
        EXPECT_EQ(Page(), 0);
        EXPECT_TRUE(Edit("EditParamFile")->hasFocus());
    }
    Edit("EditParamFile")->setText(QString::fromStdString(project.string()));
    Press("BitBtnNext");
    EXPECT_EQ(Page(), 1);
    EXPECT_TRUE(Edit("EditCSVFile")->hasFocus());
    Press("BtnBack");
    EXPECT_EQ(Page(), 0);
}

TEST_F(MakeBatchTest, MakeChecksProjectThenCsvBeforeAskingForAName) {
    Press("BitBtnNext");  // refused: still on page 1 with an empty project box
    form.findChild<QTabWidget*>()->setCurrentIndex(1);
    Press("BtnMake");
    EXPECT_EQ(LastBox(), Q("プロジェクトファイルが見つかりません。"));
    EXPECT_EQ(Page(), 0);

    Edit("EditParamFile")->setText(QString::fromStdString(project.string()));
    Press("BitBtnNext");
    Press("BtnMake");
    EXPECT_EQ(LastBox(), Q("保存するCSVファイルのファイル名が未入力です。"));
    EXPECT_EQ(modal.Boxes().back().kind, TMsgKind::Error);
    EXPECT_TRUE(Edit("EditCSVFile")->hasFocus());
    EXPECT_TRUE(modal.FileDialogs().empty());
    EXPECT_TRUE(form.isVisible());
}

TEST_F(MakeBatchTest, WritesTheChosenSettingsAndCloses) {
    Find<TRadioGroup>(form, "RadioGroupSaveParam")->SetItemIndex(1);
    Find<QCheckBox>(form, "CheckBoxBackup")->setChecked(true);
    const std::filesystem::path script = dir.Path() / "run.sh";
    Make(Q("結果/out put.csv"), script);

    ASSERT_EQ(modal.FileDialogs().size(), 1u);
    const TFileRequest& request = modal.FileDialogs()[0].request;
    EXPECT_EQ(request.caption, Q("保存するバッチファイルのファイル名"));
    EXPECT_EQ(request.defaultExt, QStringLiteral("sh"));
    EXPECT_TRUE(request.filter.endsWith(QStringLiteral("|*.sh")));
    EXPECT_EQ(LastBox(), Q("作成しました。"));
    EXPECT_EQ(form.result(), QDialog::Accepted);
    // The relative CSV path stays as typed; the save type and backup end the line.
    EXPECT_EQ(TTempDir::Read(script), "#!/bin/sh\nexec '/opt/kfy bin/kestrify' -a -- '" +
                                          project.string() + "' '結果/out put.csv' 1 1\n");
}

TEST_F(MakeBatchTest, OnlyNewEndsTheLine) {
    Find<QCheckBox>(form, "CheckBoxOnlyNew")->setChecked(true);
    const std::filesystem::path script = dir.Path() / "run.sh";
    Make(Q("out.csv"), script);
    EXPECT_EQ(TTempDir::Read(script), "#!/bin/sh\nexec '/opt/kfy bin/kestrify' -a -- '" +
                                          project.string() + "' 'out.csv' 0 0 --only-new\n");
}

TEST_F(MakeBatchTest, ExistingScriptIsKeptUnlessYes) {
    const std::filesystem::path script = dir.Path() / "run.sh";
    for (const TModalResult answer : {TModalResult::No, TModalResult::Cancel}) {
        TTempDir::Write(script, "keep me");
        modal.AnswerMessage(answer);
        Make(Q("out.csv"), script);
        EXPECT_EQ(LastBox(), Q("すでに同名のファイルが存在します。\n上書きしますか?"));
        EXPECT_EQ(modal.Boxes().back().buttons, TMsgButtons::YesNoCancel);
        EXPECT_EQ(TTempDir::Read(script), "keep me");
        EXPECT_TRUE(form.isVisible());
    }
    modal.AnswerFile(std::nullopt);  // a cancelled save dialog writes nothing either
    Press("BtnMake");
    EXPECT_EQ(TTempDir::Read(script), "keep me");
    EXPECT_TRUE(form.isVisible());

    modal.AnswerMessage(TModalResult::Yes);
    Make(Q("out.csv"), script);
    EXPECT_NE(TTempDir::Read(script), "keep me");
    EXPECT_EQ(LastBox(), Q("作成しました。"));
}

TEST_F(MakeBatchTest, UnwritableScriptShowsTheErrorAndStaysOpen) {
    Make(Q("out.csv"), dir.Path() / "no such folder" / "run.sh");
    EXPECT_EQ(modal.Boxes().back().kind, TMsgKind::Error);
    EXPECT_TRUE(LastBox().contains(Q("書き込めません")));
    EXPECT_TRUE(form.isVisible());
}

TEST_F(MakeBatchTest, HelpTopics) {
    Press("BtnHelp");  // the first page's
    QTest::keyClick(Edit("EditParamFile"), Qt::Key_F1);
    EXPECT_EQ(help.Topics(), (std::vector<int>{52, 48}));
    QTest::keyClick(Edit("EditParamFile"), Qt::Key_Escape);
    EXPECT_EQ(form.result(), QDialog::Rejected);
}

// Scripts made for the example project convert it unattended, run by the
// shell from another folder: the desktop program offscreen and the headless
// command write the same CSV.
TEST_F(MakeBatchTest, ScriptsRunTheExampleProject) {
    const std::filesystem::path examples = std::filesystem::path(KESTRIFY_SOURCE_DIR) / "examples";
    // A copy: an automatic run saves its project again.
    for (const char* name : {"inquiries.KFY", "inquiries.mbox"}) {
        std::filesystem::copy_file(examples / name, dir.Path() / name);
    }
    project = dir.Path() / "inquiries.KFY";
    const std::filesystem::path programs =
        std::filesystem::path(KESTRIFY_CLI_PROGRAM).parent_path();
    form.SetProgramPath(QString::fromStdString((programs / "kestrify").string()));
    const std::string expected = TTempDir::Read(std::filesystem::path(KESTRIFY_SOURCE_DIR) /
                                                "tests" / "cli" / "expected" / "example.csv");
    for (const bool headless : {false, true}) {
        SCOPED_TRACE(headless ? "headless" : "desktop");
        Find<QCheckBox>(form, "CheckBoxHeadless")->setChecked(headless);
        const std::string csv = headless ? "結果 cli.csv" : "結果 gui.csv";
        modal.AnswerMessage(TModalResult::Yes);  // the second script replaces the first
        Make(QString::fromStdString(csv), dir.Path() / "run it.sh");
        ASSERT_EQ(LastBox(), Q("作成しました。"));
        // Settings of the desktop program go to the test's folder, boxes are
        // answered as Esc answers them.
        const std::string command = "cd '" + dir.Path().string() +
                                    "' && HOME=\"$PWD\" XDG_CONFIG_HOME=\"$PWD/.config\" "
                                    "XDG_DATA_HOME=\"$PWD/.local\" QT_QPA_PLATFORM=offscreen "
                                    "KESTRIFY_TEST_ANSWER_BOXES=1 ./'run it.sh' 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        EXPECT_EQ(TTempDir::Read(dir.Path() / csv), expected);
        form.show();
    }
}

// A project of the IMAP kind: its script holds no password, and the
// automatic run it starts asks nobody. Run as cron runs it (no display) and
// without a keyring (the session bus pointed at nothing, so no real keyring
// is reached), it reads KESTRIFY_IMAP_PASSWORD, and without that it ends
// with the message.
TEST_F(MakeBatchTest, AnImapProjectsScriptHoldsNoPasswordAndItsRunAsksNobody) {
    if (!TDovecot::Available()) {
        GTEST_SKIP() << "dovecot is not installed";
    }
    TDovecot server;
    server.AddMails("INBOX", {"From: shop@example.jp\r\nSubject: order\r\n\r\nbody\r\n"});
    project = dir.Path() / "imap.KFY";
    {
        TSettingFile file(project.string());
        file.SetMailType(9);
        file.SetDirectory("imaps://alice@localhost:" + std::to_string(server.ImapsPort()) +
                          "/INBOX");
        file.SetImapCaFile(server.CaFile());
        TOrderedParamString from;
        from.SetParamKey("Subject:");
        from.SetFieldName("Subject");
        from.SetPosType(TOrderedParamString::PosHeader);
        from.SetRowType(TOrderedParamString::RowSingle);
        file.AddParam(from);
        file.Write();
    }
    const std::filesystem::path programs =
        std::filesystem::path(KESTRIFY_CLI_PROGRAM).parent_path();
    form.SetProgramPath(QString::fromStdString((programs / "kestrify").string()));
    Make(Q("out.csv"), dir.Path() / "run.sh");
    ASSERT_EQ(LastBox(), Q("作成しました。"));
    EXPECT_EQ(TTempDir::Read(dir.Path() / "run.sh").find(TDovecot::kPassword), std::string::npos);

    const std::string environment =
        "cd '" + dir.Path().string() +
        "' && HOME=\"$PWD\" XDG_CONFIG_HOME=\"$PWD/.config\" XDG_DATA_HOME=\"$PWD/.local\" "
        "XDG_STATE_HOME=\"$PWD/.state\" XDG_RUNTIME_DIR=\"$PWD\" "
        "DBUS_SESSION_BUS_ADDRESS=\"unix:path=$PWD/no-bus\" "
        "timeout 60 env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM ";
    const std::string withPassword =
        environment + "KESTRIFY_IMAP_PASSWORD='" + TDovecot::kPassword + "' ./run.sh 2>/dev/null";
    EXPECT_EQ(std::system(withPassword.c_str()), 0);
    EXPECT_EQ(TTempDir::Read(dir.Path() / "out.csv"), "Subject\r\norder\r\n");

    std::filesystem::remove(dir.Path() / "out.csv");
    const std::string without =
        environment + "KESTRIFY_IMAP_PASSWORD= ./run.sh 2>'" + (dir.Path() / "err").string() + "'";
    EXPECT_EQ(WEXITSTATUS(std::system(without.c_str())), 2);
    EXPECT_NE(TTempDir::Read(dir.Path() / "err").find("KESTRIFY_IMAP_PASSWORD"), std::string::npos)
        << TTempDir::Read(dir.Path() / "err");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "out.csv"));
}

}  // namespace
