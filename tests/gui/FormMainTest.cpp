#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>

#include "FakeImapKeyring.h"
#include "GuiTest.h"
#include "TDovecot.h"
#include "TempDir.h"
#include "TempHome.h"
#include "convert/TCSVConverter.h"
#include "gui/app/TFormMain.h"
#include "gui/app/TFormMakeBatch.h"
#include "gui/controls/THistoryComboBox.h"
#include "gui/controls/TWorkProgress.h"
#include "gui/convert/TFormConvert.h"
#include "gui/imap/TImapConnectDialog.h"
#include "gui/params/TFormParamEdit.h"
#include "gui/params/TGridConvertParam.h"
#include "gui/params/TParamPreviewPanel.h"
#include "gui/settings/TAppIni.h"
#include "settings/TParamFormConvert.h"
#include "settings/TSettingFile.h"

namespace {

namespace fs = std::filesystem;

// The result window replaced: records what Convert handed over and hands
// back what the test sets.
class TTestFormMain : public TFormMain {
  public:
    using TFormMain::TFormMain;

    int conversions = 0;
    TCSVSaveParam handedOver;
    std::function<void(TConvertResult&)> result = [](TConvertResult&) {};

  protected:
    TConvertResult RunResultWindow(std::unique_ptr<TCSVConverter> converter,
                                   const TCSVSaveParam& saveParam,
                                   const TAutoExexParam* /*autoRun*/) override {
        ++conversions;
        EXPECT_NE(converter, nullptr);
        handedOver = saveParam;
        TConvertResult outcome;
        outcome.saveParam = saveParam;
        result(outcome);
        return outcome;
    }
};

TOrderedParamString Header(const char* key) {
    TOrderedParamString p;
    p.SetParamKey(key);
    p.SetFieldName(key);
    p.SetPosType(TOrderedParamString::PosHeader);
    p.SetRowType(TOrderedParamString::RowSingle);
    return p;
}

class FormMainTest : public GuiFixture {
  protected:
    // A project of `params` header parameters over an mbox in the folder.
    QString WriteProject(const std::string& name, int params, int mailType = 2,
                         const std::string& saveFile = "out.csv") {
        TTempDir::Write(dir.Path() / "box.mbox", "From a\nFrom: a@example.jp\n\nbody\n");
        TSettingFile file(dir.File(name));
        file.SetMailType(mailType);
        file.SetDirectory(dir.File("box.mbox"));
        for (int i = 0; i < params; ++i) {
            file.AddParam(Header("From:"));
        }
        TCSVSaveParam save;
        save.SetSaveFileName(saveFile);
        file.SetCSVSaveParam(save);
        file.Write();
        return QString::fromStdString(dir.File(name));
    }
    QAction* Action(const TFormMain& form, const char* name) { return Find<QAction>(form, name); }
    // An IMAP project on alice's INBOX at `port`, whose password the test keyring holds.
    QString WriteImapProject(int port, const std::string& caFile) {
        const std::string where = "alice@localhost:" + std::to_string(port);
        TSettingFile file(dir.File("imap.KFY"));
        file.SetMailType(9);
        file.SetDirectory("imaps://" + where + "/INBOX");
        file.SetImapCaFile(caFile);
        file.AddParam(Header("From:"));
        file.Write();
        TestKeyring().unreachable = false;
        TestKeyring().entries.clear();
        TestKeyring().entries.insert(QString::fromStdString(where), Q(TDovecot::kPassword));
        return QString::fromStdString(dir.File("imap.KFY"));
    }
    std::vector<QString> BoxTexts() const {
        std::vector<QString> texts;
        for (const TRecordedBox& box : modal.Boxes()) {
            texts.push_back(box.text);
        }
        return texts;
    }
    TTempHome home;
    TTempDir dir;
    TAppIni appIni{dir.Path() / "settings"};
};

}  // namespace

TEST_F(FormMainTest, StartsUntitledOrWithTheArgumentAsTitle) {
    const QString project = WriteProject("a.KFY", 2);
    struct {
        QStringList arguments;
        QString title;
        int params;
    } const cases[] = {
        {{}, Q("Kestrify - (無題)"), 0},
        {{Q("/no/such.KFY")}, Q("/no/such.KFY"), 0},
        {{Q("-A"), project}, Q("-A"), 0},
        {{project}, Q("Kestrify - ") + project, 2},
    };
    for (const auto& c : cases) {
        TTestFormMain form(appIni, c.arguments);
        EXPECT_EQ(form.windowTitle(), c.title);
        EXPECT_EQ(form.Grid()->GetParamCount(), c.params);
        EXPECT_GE(form.minimumWidth(), 340);
        EXPECT_GE(form.minimumHeight(), 360);
    }
}

TEST_F(FormMainTest, ConvertChecksInOrderAndStopsWithTheirMessage) {
    TTempDir::Write(dir.Path() / "a.mbox", "From a\n\n");
    TTempDir::Write(dir.Path() / "p.KFY", "[EML]\r\nMAILTYPE=10\r\nPARAM=0\r\n");
    struct {
        int params;
        int mailType;
        std::string location;
        const char* message;
        TMsgButtons buttons;
        int topic;
    } const cases[] = {
        {0, 2, dir.File("a.mbox"), "パラメータが指定されていません。", TMsgButtons::OkHelp, 10},
        {1, 0, dir.File("a.mbox"), "メールのあるフォルダを指定してください。", TMsgButtons::OkHelp,
         8},
        {1, 1, dir.File("none.dbx"), "", TMsgButtons::OkHelp, 21},
        {1, 1, dir.File("a.mbox"), "", TMsgButtons::OkHelp, 21},
        {1, 5, "", "テキストファイルのあるフォルダを指定してください。", TMsgButtons::OkHelp, 8},
        {1, -1, dir.File("a.mbox"), "メールの種類が正しくありません。", TMsgButtons::Ok, 0},
        {1, 9, "imap.example.jp/INBOX",
         "IMAP の URL を読めません: imap.example.jp/INBOX (imaps:// か imap:// で始まっていません)",
         TMsgButtons::OkHelp, 183},
    };
    for (const auto& c : cases) {
        TTestFormMain form(appIni);
        for (int i = 0; i < c.params; ++i) {
            form.Grid()->AddParam(Header("From:"));
        }
        form.MailTypeList()->setCurrentIndex(c.mailType);
        form.LocationBox()->setEditText(QString::fromStdString(c.location));
        modal.Clear();
        Action(form, "ActionConvert")->trigger();
        ASSERT_EQ(modal.Boxes().size(), 1U) << c.message;
        // Empty: the location named, then what is wrong with it.
        const QString expected =
            *c.message != '\0' ? Q(c.message)
            : c.location == dir.File("a.mbox")
                ? QString::fromStdString(c.location) +
                      Q("\nDBXファイルではないようです。\nUnix mbox形式のファイルのようです。")
                : QString::fromStdString(c.location) + Q("\nこのメールの場所は存在しません。");
        EXPECT_EQ(modal.Boxes()[0].text, expected);
        EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Error);
        EXPECT_EQ(modal.Boxes()[0].buttons, c.buttons);
        EXPECT_EQ(modal.Boxes()[0].helpTopic, c.topic);
        EXPECT_EQ(form.conversions, 0);
    }
    // A type the program does not know leaves no type selected.
    TTestFormMain form(appIni, {QString::fromStdString(dir.File("p.KFY"))});
    EXPECT_EQ(form.MailTypeList()->currentIndex(), -1);
}

TEST_F(FormMainTest, AddRefusesAt256ParametersButEditStillWorks) {
    TTestFormMain form(appIni);
    for (int i = 0; i < 256; ++i) {
        form.Grid()->AddParam(Header("From:"));
    }
    for (const char* action : {"ActionInsertParam", "ActionInsertSpaceParam"}) {
        modal.Clear();
        Action(form, action)->trigger();
        ASSERT_EQ(modal.Boxes().size(), 1U);
        EXPECT_EQ(modal.Boxes()[0].text, Q("これ以上パラメータは登録できません。"));
        EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Information);
        EXPECT_EQ(modal.Boxes()[0].helpTopic, 10);
    }
    bool editorShown = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* editor = QApplication::activeModalWidget()) {
            editorShown = true;
            editor->close();
        }
    });
    Action(form, "ActionEditParam")->trigger();
    EXPECT_TRUE(editorShown);
    EXPECT_EQ(form.Grid()->GetParamCount(), 256);
}

TEST_F(FormMainTest, EditorPreviewReadsTheCurrentStoreWithTheProjectsParameters) {
    TTestFormMain form(appIni, {QString::fromUtf8(KESTRIFY_SOURCE_DIR "/examples/inquiries.KFY")});
    form.Grid()->SetCurrentRow(5);  // the name, searched below the sender's headers
    QString value;
    QTimer::singleShot(0, [&] {
        auto* editor = qobject_cast<TFormParamEdit*>(QApplication::activeModalWidget());
        ASSERT_NE(editor, nullptr);
        editor->SetPreviewOpen(true);
        (void)QTest::qWaitFor([&] { return !editor->PreviewPanel()->ValueText().isEmpty(); },
                              10000);
        value = editor->PreviewPanel()->ValueText();
        editor->close();
    });
    Action(form, "ActionEditParam")->trigger();
    EXPECT_EQ(value, Q("山田 太郎"));
}

TEST_F(FormMainTest, UpAndDownStopAtTheEnds) {
    TTestFormMain form(appIni);
    for (const char* key : {"A:", "B:", "C:"}) {
        form.Grid()->AddParam(Header(key));
    }
    struct {
        int row;
        const char* action;
        const char* keys;
        int currentAfter;
    } const cases[] = {
        {1, "ActionUpParam", "A:B:C:", 1},
        {3, "ActionDownParam", "A:B:C:", 3},
        {2, "ActionDownParam", "A:C:B:", 3},
        {3, "ActionUpParam", "A:B:C:", 2},
    };
    for (const auto& c : cases) {
        form.Grid()->SetCurrentRow(c.row);
        Action(form, c.action)->trigger();
        std::string keys;
        for (const auto& p : form.Grid()->GetAllParam()) {
            keys += p.GetParamKey();
        }
        EXPECT_EQ(keys, c.keys) << c.action << " on row " << c.row;
        EXPECT_EQ(form.Grid()->GetCurrentRow(), c.currentAfter);
    }
}

TEST_F(FormMainTest, UntitledProjectStaysUntitledAfterAConversion) {
    const QString project = WriteProject("a.KFY", 1);
    TTestFormMain form(appIni, {project});
    Action(form, "ActionCreateNewParam")->trigger();
    form.Grid()->AddParam(Header("From:"));
    form.MailTypeList()->setCurrentIndex(2);
    form.LocationBox()->setEditText(QString::fromStdString(dir.File("box.mbox")));
    const std::string before = dir.Listing();
    form.result = [](TFormMain::TConvertResult& o) { o.saveParam.SetSaveFileName("new.csv"); };
    Action(form, "ActionConvert")->trigger();
    EXPECT_EQ(form.conversions, 1);
    EXPECT_EQ(form.windowTitle(), Q("*Kestrify - (無題)"));
    EXPECT_EQ(dir.Listing(), before);
    // New kept the old project's save options; the result window's come back.
    EXPECT_EQ(form.handedOver.GetSaveFileName(), "out.csv");
    EXPECT_EQ(form.GetCSVSaveParam().GetSaveFileName(), "new.csv");
}

TEST_F(FormMainTest, AConversionSavesTheProjectWithItsOldSaveOptions) {
    const QString project = WriteProject("a.KFY", 1);
    TTestFormMain form(appIni, {project});
    form.result = [](TFormMain::TConvertResult& o) { o.saveParam.SetSaveFileName("new.csv"); };
    Action(form, "ActionConvert")->trigger();
    TSettingFile saved(project.toStdString());
    saved.Read();
    EXPECT_EQ(saved.GetCSVSaveParam().GetSaveFileName(), "out.csv");
    EXPECT_EQ(form.GetCSVSaveParam().GetSaveFileName(), "new.csv");
    EXPECT_NE(TTempDir::Read(project.toStdString()).find("[FORM_CONVERT]"), std::string::npos);
}

TEST_F(FormMainTest, IniProjectIsNeverOverwritten) {
    WriteProject("unused.KFY", 0);
    TTempDir::Write(dir.Path() / "old.INI",
                    "[EML]\r\nMAILTYPE=2\r\nDIRECTORY=" + dir.File("box.mbox") +
                        "\r\nPARAM=1\r\nPARAM_ORDER0=0\r\nPARAM_KEY0=From:\r\n"
                        "FIELD_ORDER0=0\r\nPARAM_ROW_TYPE0=1\r\nPARAM_POS_TYPE0=1\r\n\r\n"
                        "[SYSTEM]\r\nVERSION=2\r\n");
    const QString ini = QString::fromStdString(dir.File("old.INI"));
    const std::string oldText = TTempDir::Read(ini.toStdString());
    TTestFormMain form(appIni, {ini});

    // Save over: the old-format notice, then the save dialog (cancelled here).
    modal.AnswerMessage(TModalResult::Ok);
    modal.AnswerFile(std::nullopt);
    Action(form, "ActionSaveOverwrite")->trigger();
    ASSERT_EQ(modal.Boxes().size(), 1U);
    EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Information);
    EXPECT_EQ(modal.Boxes()[0].buttons, TMsgButtons::OkCancel);
    ASSERT_EQ(modal.FileDialogs().size(), 1U);
    EXPECT_EQ(modal.FileDialogs()[0].request.filter, Q("プロジェクトファイル(*.KFY)|*.KFY"));
    EXPECT_EQ(TTempDir::Read(ini.toStdString()), oldText);
    EXPECT_FALSE(fs::exists(dir.File("old.KFY")));

    // A conversion writes the whole project, the result window's section
    // with it, beside it as .KFY; the title stays with the .INI, which is
    // left as it was.
    Action(form, "ActionConvert")->trigger();
    EXPECT_EQ(form.conversions, 1);
    EXPECT_TRUE(fs::exists(dir.File("old.KFY")));
    EXPECT_EQ(form.windowTitle(), Q("Kestrify - ") + ini);
    EXPECT_EQ(TTempDir::Read(ini.toStdString()), oldText);
    EXPECT_NE(TTempDir::Read(dir.File("old.KFY")).find("[FORM_CONVERT]"), std::string::npos);
}

TEST_F(FormMainTest, SaveAsAppendsKfyAndAsksBeforeOverwriting) {
    TTestFormMain form(appIni);
    form.Grid()->AddParam(Header("From:"));
    modal.AnswerFile(QString::fromStdString(dir.File("a.txt")));
    Action(form, "ActionSaveSetting")->trigger();
    EXPECT_TRUE(fs::exists(dir.File("a.txt.KFY")));
    EXPECT_EQ(form.ProjectPath(), QString::fromStdString(dir.File("a.txt.KFY")));

    for (TModalResult answer : {TModalResult::No, TModalResult::Cancel, TModalResult::Yes}) {
        TTempDir::Write(dir.Path() / "b.KFY", "keep");
        modal.Clear();
        modal.AnswerFile(QString::fromStdString(dir.File("b.KFY")));
        modal.AnswerMessage(answer);
        Action(form, "ActionSaveSetting")->trigger();
        ASSERT_EQ(modal.Boxes().size(), 1U);
        EXPECT_EQ(modal.Boxes()[0].text,
                  Q("b.KFY\nこのファイル名はすでに存在します。\n\n上書きしますか？"));
        EXPECT_EQ(TTempDir::Read(dir.File("b.KFY")) == "keep", answer != TModalResult::Yes);
    }
}

TEST_F(FormMainTest, DroppedFilesOpenOrSelectTheStore) {
    const QString project = WriteProject("a.kfy", 3);
    fs::create_directory(dir.Path() / "mails");
    TTempDir::Write(dir.Path() / "inbox.dbx", "x");
    TTestFormMain form(appIni);
    form.MailTypeList()->setCurrentIndex(3);
    form.DropPaths({QString::fromStdString(dir.File("mails"))});
    EXPECT_EQ(form.MailTypeList()->currentText(), Q("メールをコピーしたフォルダから"));
    EXPECT_EQ(form.LocationBox()->currentText(), QString::fromStdString(dir.File("mails")));
    form.DropPaths({QString::fromStdString(dir.File("inbox.dbx")), Q("/no/such/file.kfy")});
    EXPECT_EQ(form.MailTypeList()->currentIndex(), 1);
    EXPECT_EQ(form.LocationBox()->currentText(), QString::fromStdString(dir.File("inbox.dbx")));
    modal.AnswerMessage(TModalResult::No);  // the changed untitled project is not kept
    form.DropPaths({project});
    EXPECT_EQ(form.Grid()->GetParamCount(), 3);
    EXPECT_EQ(form.ProjectPath(), project);
    // Opening a project does not change the location box's hint.
    EXPECT_EQ(form.LocationBox()->toolTip(),
              Q("変換するメールをコピーしたフォルダを指定してください。"));
}

TEST_F(FormMainTest, FileMenuEndsWithASeparator) {
    TTestFormMain form(appIni);
    for (int i = 0; i < 2; ++i) {
        form.RebuildRecentItems();
        const QList<QAction*> items = form.FileMenu()->actions();
        EXPECT_EQ(items.size(), 10);
        EXPECT_TRUE(items.back()->isSeparator());
    }
}

TEST_F(FormMainTest, ChooseStartsWhereTheWineClientKeepsItsStore) {
    fs::create_directories(dir.Path() / "drive_c/Store");
    TTempDir::Write(dir.Path() / "user.reg",
                    "[Identities]\n\"Default User ID\"=\"{1}\"\n"
                    "[Identities\\\\{1}\\\\Software\\\\Microsoft\\\\Outlook Express\\\\5.0]\n"
                    "\"Store Root\"=\"C:\\\\store\"\n");
    const QByteArray previous = qgetenv("WINEPREFIX");
    qputenv("WINEPREFIX", dir.Path().string().c_str());
    TTestFormMain form(appIni);
    form.MailTypeList()->setCurrentIndex(1);
    modal.AnswerFile(QString::fromStdString(dir.File("picked.dbx")));
    Action(form, "ActionSelectDirectory")->trigger();
    // Another type without a registry entry keeps the previous starting folder.
    form.MailTypeList()->setCurrentIndex(4);
    Action(form, "ActionSelectDirectory")->trigger();
    qputenv("WINEPREFIX", previous);
    ASSERT_EQ(modal.FileDialogs().size(), 2U);
    EXPECT_EQ(modal.FileDialogs()[0].request.initialDir,
              QString::fromStdString((dir.Path() / "drive_c/Store").string()));
    EXPECT_EQ(modal.FileDialogs()[0].request.filter, Q("DBXファイル(*.dbx)|*.dbx"));
    EXPECT_EQ(form.LocationBox()->currentText(), QString::fromStdString(dir.File("picked.dbx")));
    EXPECT_EQ(form.LocationBox()->Items(),
              QStringList{QString::fromStdString(dir.File("picked.dbx"))});
    EXPECT_EQ(modal.FileDialogs()[1].request.initialDir,
              QString::fromStdString(dir.Path().string()));
}

TEST_F(FormMainTest, AutomaticRunReportsHowItEnded) {
    const QString good = WriteProject("good.KFY", 1);
    struct {
        const char* name;
        QString project;
        std::function<void(TFormMain::TConvertResult&)> result;
        int status;
        int boxes;
    } const cases[] = {
        {"saved", good, [](auto&) {}, 0, 0},
        {"not written", good, [](auto& o) { o.runStatus = 3; }, 3, 0},
        {"no such project", QString::fromStdString(dir.File("none.KFY")), [](auto&) {}, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        modal.Clear();
        TTestFormMain form(appIni, {Q("-a"), c.project, Q("x.csv"), Q("0")});
        form.result = c.result;
        ASSERT_TRUE(form.HasPendingAutoRun());
        bool closed = false;
        QObject::connect(&form, &TFormMain::Closed, [&] { closed = true; });
        form.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 5000));
        EXPECT_EQ(form.ExitStatus(), c.status);
        EXPECT_EQ(static_cast<int>(modal.Boxes().size()), c.boxes);
        EXPECT_FALSE(form.HasPendingAutoRun());
    }
}

TEST(FormMainRunStatus, FollowsHowTheResultWindowEnded) {
    using TEnd = TConvertOutcome::TEnd;
    struct {
        TEnd end;
        int failedMails;
        bool saved;
        int status;
    } const cases[] = {
        {TEnd::Finished, 0, true, 0}, {TEnd::Finished, 2, true, 1},   {TEnd::Finished, 0, false, 3},
        {TEnd::Stopped, 0, false, 3}, {TEnd::Abandoned, 1, false, 3}, {TEnd::Failed, 1, false, 2},
    };
    for (const auto& c : cases) {
        TConvertReport report;
        report.ended = true;
        report.end = c.end;
        report.failedMails = c.failedMails;
        report.automaticSaved = c.saved;
        EXPECT_EQ(TFormMain::RunStatus(report), c.status)
            << static_cast<int>(c.end) << " " << c.failedMails << " " << c.saved;
    }
}

TEST_F(FormMainTest, RecentProjectsAreListedAndMissingOnesRemoved) {
    const QString a = WriteProject("a.KFY", 1);
    const QString b = WriteProject("b&c.KFY", 2);
    TTestFormMain form(appIni);
    for (const QString& p : {a, b, a}) {
        form.OpenProject(p);
    }
    form.RebuildRecentItems();
    QList<QAction*> items = form.FileMenu()->actions();
    ASSERT_EQ(items.size(), 12);
    EXPECT_EQ(items[10]->text(), Q("&0.") + a);
    EXPECT_EQ(items[11]->text(), Q("&1.") + QString(b).replace(Q("&"), Q("&&")));
    EXPECT_EQ(items[11]->statusTip(), b);

    fs::remove(b.toStdString());
    items[11]->trigger();
    ASSERT_EQ(modal.Boxes().size(), 1U);
    EXPECT_EQ(modal.Boxes()[0].text, b + Q("\nファイルが見つかりませんでした。"));
    form.RebuildRecentItems();
    EXPECT_EQ(form.FileMenu()->actions().size(), 11);
}

TEST_F(FormMainTest, SettingsRestoreAtFirstShowAndRememberAtClose) {
    const QString last = WriteProject("last.KFY", 1);
    const QString run = WriteProject("run.KFY", 2);
    appIni.SetRestoreParamFile(true);
    appIni.SetRestoreWindowSize(true);
    appIni.SetLastParamFile(last.toStdString());
    appIni.SetWindowWidth(500);
    appIni.SetWindowHeight(420);
    {
        TTestFormMain form(appIni, {Q("-a"), run, Q("x.csv"), Q("0")});
        form.show();
        EXPECT_EQ(form.size(), QSize(500, 420));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form.isVisible(); }, 5000));
        EXPECT_EQ(form.conversions, 1);
        EXPECT_EQ(form.Grid()->GetParamCount(), 2);  // the run's project, opened after the last one
    }
    EXPECT_EQ(appIni.GetLastParamFile(), run.toStdString());
    EXPECT_EQ(appIni.GetRecentFiles(),
              (std::vector<std::string>{run.toStdString(), last.toStdString()}));

    TTestFormMain form(appIni);
    form.show();
    EXPECT_EQ(form.ProjectPath(), run);
    form.showMaximized();
    form.close();
    EXPECT_EQ(appIni.GetWindowWidth(), 500);  // the size from before maximising stays
}

TEST_F(FormMainTest, F1ShowsTheTopicOfTheControlInFocus) {
    TTestFormMain form(appIni);
    ShowActive(form);
    struct {
        QWidget* widget;
        int topic;
    } const cases[] = {{form.MailTypeList(), 31}, {form.LocationBox(), 8}, {form.Grid(), 10}};
    for (const auto& c : cases) {
        c.widget->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    }
    // The user picks Shuriken: the location box now has its help and hint.
    form.MailTypeList()->setFocus();
    QTest::keyClick(form.MailTypeList(), Qt::Key_Down);
    QTest::keyClick(form.MailTypeList(), Qt::Key_Down);
    QTest::keyClick(form.MailTypeList(), Qt::Key_Down);
    form.LocationBox()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    Action(form, "ActionHelpShowHejp")->trigger();
    EXPECT_EQ(help.Topics(), (std::vector<int>{31, 8, 10, 57, 1}));
    EXPECT_EQ(form.LocationBox()->statusTip(),
              Q("変換するShuriken形式のファイルを指定してください。"));
}

TEST_F(FormMainTest, ChangesMarkTheTitleAndAreAskedAboutBeforeTheyGo) {
    const QString other = WriteProject("b.KFY", 1);
    const QString project = WriteProject("a.KFY", 1);
    {
        TSettingFile file(project.toStdString());
        file.Read();
        file.AddParam(Header("To:"));
        file.Write();
    }
    const QString title = Q("Kestrify - ") + project;
    using TChange = std::function<void(TTestFormMain&)>;
    const std::vector<std::pair<const char*, TChange>> changes = {
        {"add", [](TTestFormMain& f) { f.Grid()->AddParam(Header("To:")); }},
        {"remove", [](TTestFormMain& f) { f.Grid()->RemoveParam(1); }},
        {"reorder", [](TTestFormMain& f) { f.Grid()->MoveDownParam(1); }},
        {"mail type", [](TTestFormMain& f) { f.MailTypeList()->setCurrentIndex(4); }},
        {"location", [](TTestFormMain& f) { f.LocationBox()->setEditText(Q("/x")); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        TTestFormMain form(appIni, {project});
        EXPECT_FALSE(form.IsModified());
        EXPECT_EQ(form.windowTitle(), title);
        change(form);
        EXPECT_TRUE(form.IsModified());
        EXPECT_EQ(form.windowTitle(), Q("*") + title);
    }
    // The three answers, on close and on the commands that replace the project.
    TTestFormMain form(appIni, {project});
    form.Grid()->AddParam(Header("To:"));
    modal.Clear();
    modal.AnswerMessage(TModalResult::Cancel);
    EXPECT_FALSE(form.close());
    ASSERT_EQ(modal.Boxes().size(), 1U);
    EXPECT_EQ(modal.Boxes()[0].text, Q("プロジェクトは変更されています。保存しますか？"));
    EXPECT_EQ(modal.Boxes()[0].buttons, TMsgButtons::SaveDiscardCancel);
    modal.AnswerMessage(TModalResult::Cancel);
    Action(form, "ActionCreateNewParam")->trigger();
    EXPECT_EQ(form.Grid()->GetParamCount(), 3);
    modal.AnswerMessage(TModalResult::No);
    form.DropPaths({other});
    EXPECT_EQ(form.ProjectPath(), other);
    EXPECT_EQ(TSettingFile(project.toStdString()).GetParams().size(), 2U);  // not saved
    form.Grid()->AddParam(Header("To:"));
    modal.AnswerMessage(TModalResult::Yes);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(TSettingFile(other.toStdString()).GetParams().size(), 2U);  // saved
    EXPECT_EQ(form.windowTitle(), Q("Kestrify - ") + other);
    // Unchanged: no question.
    modal.Clear();
    TTestFormMain same(appIni, {project});
    EXPECT_TRUE(same.close());
    EXPECT_TRUE(modal.Boxes().empty());
}

TEST_F(FormMainTest, WhatIsNoProjectIsRefusedNeverListedNorWritten) {
    std::string noise(3000, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) {
        noise[i] = static_cast<char>((i * 7919U + 13U) % 251U);
    }
    const std::pair<const char*, std::string> files[] = {
        {"garbage.KFY", noise},
        {"notes.KFY", "just some text\nover two lines\n"},
        {"empty.KFY", ""}};
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        TTempDir::Write(dir.Path() / name, bytes);
        const QString path = QString::fromStdString(dir.File(name));
        modal.Clear();
        TTestFormMain form(appIni);
        form.DropPaths({path});
        ASSERT_EQ(modal.Boxes().size(), 1U);
        EXPECT_EQ(modal.Boxes()[0].text, path + Q(": プロジェクトファイルではありません。"));
        EXPECT_TRUE(form.ProjectPath().isEmpty());
        EXPECT_TRUE(appIni.GetRecentFiles().empty());
        Action(form, "ActionConvert")->trigger();
        EXPECT_EQ(TTempDir::Read(dir.File(name)), bytes);
    }
}

namespace {

// The Alt letters reachable at once in `window`: visible buttons, labels
// with a buddy, tabs and menu titles.
std::vector<QChar> AltLetters(QWidget& window) {
    std::vector<QChar> letters;
    const auto add = [&](const QString& text) {
        const qsizetype at = text.indexOf(u'&');
        if (at >= 0 && at + 1 < text.size() && text[at + 1] != u'&') {
            letters.push_back(text[at + 1].toUpper());
        }
    };
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>()) {
        if (b->isVisibleTo(&window)) {
            add(b->text());
        }
    }
    for (QLabel* l : window.findChildren<QLabel*>()) {
        if (l->isVisibleTo(&window) && l->buddy() != nullptr) {
            add(l->text());
        }
    }
    for (QTabWidget* t : window.findChildren<QTabWidget*>()) {
        for (int i = 0; i < t->count(); ++i) {
            add(t->tabText(i));
        }
    }
    if (auto* main = qobject_cast<QMainWindow*>(&window)) {
        for (QAction* a : main->menuBar()->actions()) {
            add(a->text());
        }
    }
    return letters;
}

void ExpectUnique(QWidget& window, const char* name) {
    std::vector<QChar> letters = AltLetters(window);
    std::sort(letters.begin(), letters.end());
    const auto twice = std::adjacent_find(letters.begin(), letters.end());
    EXPECT_EQ(twice, letters.end())
        << name << ": Alt+" << QString(*twice).toStdString() << " twice";
}

}  // namespace

TEST_F(FormMainTest, EveryAltLetterOfAWindowIsItsOwn) {
    TTestFormMain form(appIni);
    form.show();
    ExpectUnique(form, "main window");
    TFormMakeBatch batch(&form);
    batch.show();
    auto* pages = Find<QTabWidget>(batch, "PageControl");
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        ExpectUnique(batch, page == 0 ? "script maker, project page" : "script maker, CSV page");
    }
    TImapConnectDialog imap(&form, QString(), QString());
    imap.show();
    ExpectUnique(imap, "IMAP connection");
}

TEST_F(FormMainTest, AnImapProjectConvertsWithTheKeyringsPasswordAndSavesNone) {
    if (!TDovecot::Available()) {
        GTEST_SKIP() << "dovecot is not installed";
    }
    TDovecot server;
    server.AddMails("INBOX", {"From: a@example.jp\r\nSubject: s\r\n\r\nbody\r\n"});
    fs::copy_file(server.CaFile(), dir.Path() / "ca.pem");  // named from the project's folder
    TTestFormMain form(appIni, {WriteImapProject(server.ImapsPort(), "ca.pem")});
    EXPECT_EQ(form.MailTypeList()->currentText(), Q("IMAP サーバから"));
    Action(form, "ActionConvert")->trigger();
    EXPECT_EQ(form.conversions, 1);
    EXPECT_TRUE(modal.Boxes().empty()) << BoxTexts().front().toStdString();
    std::ifstream in(dir.File("imap.KFY"), std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(saved.find("IMAPCAFILE=ca.pem"), std::string::npos) << saved;
    EXPECT_NE(saved.find("/INBOX"), std::string::npos) << saved;
    EXPECT_EQ(saved.find(TDovecot::kPassword), std::string::npos) << saved;
    TestKeyring().entries.clear();
}

// A server that never answers: the opening's progress appears, its キャンセル
// closes the connection at once, and the run ends as a stop (nothing saved,
// no box), by hand and in the automatic run alike.
TEST_F(FormMainTest, AStalledImapOpeningIsCancelledAtOnceAndSavesNothing) {
    if (!TDovecot::Available()) {
        GTEST_SKIP() << "dovecot is not installed";
    }
    TDovecot server;
    TTcpRelay relay(server.ImapsPort(), 0, TTcpRelay::TMode::kStall);
    const QString project = WriteImapProject(relay.Port(), server.CaFile());
    struct {
        const char* name;
        QStringList arguments;
        int status;
    } const cases[] = {
        {"by hand", {project}, 0},
        {"automatic", {Q("-a"), project, QString::fromStdString(dir.File("x.csv")), Q("0")}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        modal.Clear();
        TTestFormMain form(appIni, c.arguments);
        bool shown = false;
        QElapsedTimer sinceCancel;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* progress = form.findChild<TWorkProgress*>();
            if (progress != nullptr && progress->isVisible() && !shown) {
                shown = true;
                EXPECT_TRUE(
                    Find<QLabel>(*progress, "LabelText")->text().contains(Q("IMAP サーバに接続")));
                sinceCancel.start();
                Click(Find<QPushButton>(*progress, "BtnCancel"));
            }
        });
        poll.start(50);
        if (form.HasPendingAutoRun()) {
            bool closed = false;
            QObject::connect(&form, &TFormMain::Closed, [&] { closed = true; });
            form.show();
            EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 30000));
        } else {
            Action(form, "ActionConvert")->trigger();
        }
        ASSERT_TRUE(shown);
        EXPECT_LT(sinceCancel.elapsed(), 5000);  // not the 60 s of silence
        EXPECT_EQ(form.conversions, 0);
        EXPECT_TRUE(modal.Boxes().empty()) << BoxTexts().front().toStdString();
        EXPECT_EQ(form.ExitStatus(), c.status);
        EXPECT_FALSE(fs::exists(dir.Path() / "x.csv"));
    }
    TestKeyring().entries.clear();
}
