#include <gtest/gtest.h>
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTimer>
#include <functional>

#include "GuiTest.h"
#include "TempDir.h"
#include "convert/TCSVConverter.h"
#include "convert/TParamFormConvert.h"
#include "gui/app/TFormMain.h"
#include "gui/controls/THistoryComboBox.h"
#include "gui/params/TGridConvertParam.h"
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
    std::function<void(TConvertOutcome&)> result = [](TConvertOutcome&) {};

  protected:
    TConvertOutcome RunResultWindow(std::unique_ptr<TCSVConverter> converter,
                                    const TCSVSaveParam& saveParam,
                                    const TAutoExexParam* /*autoRun*/) override {
        ++conversions;
        EXPECT_NE(converter, nullptr);
        handedOver = saveParam;
        TConvertOutcome outcome;
        outcome.saveParam = saveParam;
        outcome.saved = true;
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
    std::vector<QString> BoxTexts() const {
        std::vector<QString> texts;
        for (const TRecordedBox& box : modal.Boxes()) {
            texts.push_back(box.text);
        }
        return texts;
    }
    TTempDir dir;
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
        TTestFormMain form(c.arguments);
        EXPECT_EQ(form.windowTitle(), c.title);
        EXPECT_EQ(form.Grid()->GetParamCount(), c.params);
        EXPECT_GE(form.minimumWidth(), 340);
        EXPECT_GE(form.minimumHeight(), 360);
    }
}

TEST_F(FormMainTest, ConvertChecksInOrderAndStopsWithTheirMessage) {
    TTempDir::Write(dir.Path() / "a.mbox", "From a\n\n");
    TTempDir::Write(dir.Path() / "p.KFY", "[EML]\r\nMAILTYPE=9\r\nPARAM=0\r\n");
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
        {1, 1, dir.File("none.dbx"), "DBXファイルを指定してください。", TMsgButtons::OkHelp, 21},
        {1, 5, "", "テキストファイルのあるフォルダを指定してください。", TMsgButtons::OkHelp, 8},
        {1, -1, dir.File("a.mbox"), "メールの種類が正しくありません。", TMsgButtons::Ok, 0},
    };
    for (const auto& c : cases) {
        TTestFormMain form;
        for (int i = 0; i < c.params; ++i) {
            form.Grid()->AddParam(Header("From:"));
        }
        form.MailTypeList()->setCurrentIndex(c.mailType);
        form.LocationBox()->setEditText(QString::fromStdString(c.location));
        modal.Clear();
        Action(form, "ActionConvert")->trigger();
        ASSERT_EQ(modal.Boxes().size(), 1U) << c.message;
        EXPECT_EQ(modal.Boxes()[0].text, Q(c.message));
        EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Error);
        EXPECT_EQ(modal.Boxes()[0].buttons, c.buttons);
        EXPECT_EQ(modal.Boxes()[0].helpTopic, c.topic);
        EXPECT_EQ(form.conversions, 0);
    }
    // A type the program does not know leaves no type selected.
    TTestFormMain form({QString::fromStdString(dir.File("p.KFY"))});
    EXPECT_EQ(form.MailTypeList()->currentIndex(), -1);
}

TEST_F(FormMainTest, AddRefusesAt256ParametersButEditStillWorks) {
    TTestFormMain form;
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

TEST_F(FormMainTest, UpAndDownStopAtTheEnds) {
    TTestFormMain form;
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
    TTestFormMain form({project});
    Action(form, "ActionCreateNewParam")->trigger();
    form.Grid()->AddParam(Header("From:"));
    form.MailTypeList()->setCurrentIndex(2);
    form.LocationBox()->setEditText(QString::fromStdString(dir.File("box.mbox")));
    const std::string before = dir.Listing();
    form.result = [](TFormMain::TConvertOutcome& o) { o.saveParam.SetSaveFileName("new.csv"); };
    Action(form, "ActionConvert")->trigger();
    EXPECT_EQ(form.conversions, 1);
    EXPECT_EQ(form.windowTitle(), Q("Kestrify - (無題)"));
    EXPECT_EQ(dir.Listing(), before);
    // New kept the old project's save options; the result window's come back.
    EXPECT_EQ(form.handedOver.GetSaveFileName(), "out.csv");
    EXPECT_EQ(form.GetCSVSaveParam().GetSaveFileName(), "new.csv");
}

TEST_F(FormMainTest, AConversionSavesTheProjectWithItsOldSaveOptions) {
    const QString project = WriteProject("a.KFY", 1);
    TTestFormMain form({project});
    form.result = [](TFormMain::TConvertOutcome& o) { o.saveParam.SetSaveFileName("new.csv"); };
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
    TTestFormMain form({ini});

    // Save over: the old-format notice, then the save dialog (cancelled here).
    modal.AnswerMessage(TModalResult::Ok);
    modal.AnswerFile(std::nullopt);
    Action(form, "ActionSaveOverwrite")->trigger();
    ASSERT_EQ(modal.Boxes().size(), 1U);
    EXPECT_EQ(modal.Boxes()[0].kind, TMsgKind::Information);
    EXPECT_EQ(modal.Boxes()[0].buttons, TMsgButtons::OkCancel);
    ASSERT_EQ(modal.FileDialogs().size(), 1U);
    EXPECT_EQ(modal.FileDialogs()[0].request.filter, Q("設定ファイル(*.KFY)|*.KFY"));
    EXPECT_EQ(TTempDir::Read(ini.toStdString()), oldText);
    EXPECT_FALSE(fs::exists(dir.File("old.KFY")));

    // A conversion writes the project beside it as .KFY; the title and the
    // result window's section stay with the .INI.
    Action(form, "ActionConvert")->trigger();
    EXPECT_EQ(form.conversions, 1);
    EXPECT_TRUE(fs::exists(dir.File("old.KFY")));
    EXPECT_EQ(form.windowTitle(), Q("Kestrify - ") + ini);
    EXPECT_NE(TTempDir::Read(ini.toStdString()).find("[FORM_CONVERT]"), std::string::npos);
    EXPECT_EQ(TTempDir::Read(dir.File("old.KFY")).find("[FORM_CONVERT]"), std::string::npos);
}

TEST_F(FormMainTest, SaveAsAppendsKfyAndAsksBeforeOverwriting) {
    TTestFormMain form;
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
    TTestFormMain form;
    form.MailTypeList()->setCurrentIndex(3);
    form.DropPaths({QString::fromStdString(dir.File("mails"))});
    EXPECT_EQ(form.MailTypeList()->currentText(), Q("メールをコピーしたフォルダから"));
    EXPECT_EQ(form.LocationBox()->currentText(), QString::fromStdString(dir.File("mails")));
    form.DropPaths({QString::fromStdString(dir.File("inbox.dbx")), Q("/no/such/file.kfy")});
    EXPECT_EQ(form.MailTypeList()->currentIndex(), 1);
    EXPECT_EQ(form.LocationBox()->currentText(), QString::fromStdString(dir.File("inbox.dbx")));
    form.DropPaths({project});
    EXPECT_EQ(form.Grid()->GetParamCount(), 3);
    EXPECT_EQ(form.ProjectPath(), project);
    // Opening a project does not change the location box's hint.
    EXPECT_EQ(form.LocationBox()->toolTip(),
              Q("変換するメールをコピーしたフォルダを指定してください。"));
}

TEST_F(FormMainTest, FileMenuEndsWithASeparator) {
    TTestFormMain form;
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
    TTestFormMain form;
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
        std::function<void(TFormMain::TConvertOutcome&)> result;
        int status;
        int boxes;
    } const cases[] = {
        {"saved", good, [](auto&) {}, 0, 0},
        {"mails failed", good, [](auto& o) { o.mailsFailed = true; }, 1, 0},
        {"not written", good, [](auto& o) { o.saved = false; }, 3, 0},
        {"no such project", QString::fromStdString(dir.File("none.KFY")), [](auto&) {}, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        modal.Clear();
        TTestFormMain form({Q("-a"), c.project, Q("x.csv"), Q("0")});
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
