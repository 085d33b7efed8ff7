#include <gtest/gtest.h>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include "GuiTest.h"
#include "TFakeMailStore.h"
#include "TParamMaker.h"
#include "TempDir.h"
#include "TempHome.h"
#include "WorkbookCells.h"
#include "convert/TCsvRowReader.h"
#include "convert/TResultTable.h"
#include "gui/base/TQtText.h"
#include "gui/controls/TMLInplaceEdit.h"
#include "gui/convert/TFormConvert.h"
#include "gui/convert/TFormSaveCSVDialog.h"
#include "gui/convert/TItemGrid.h"
#include "gui/convert/TResultTableModel.h"
#include "mail/TMailStoreFactory.h"
#include "params/TGridParamList.h"
#include "settings/TSettingFile.h"
#include "state/TOnlyNewRun.h"

namespace {

using TEnd = TConvertOutcome::TEnd;
using TFailure = TFakeReader::TFailure;

bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) {
            return false;
        }
        QTest::qWait(5);
    }
    return true;
}

std::unique_ptr<TCSVConverter> FakeConverter(std::unique_ptr<TFakeReader> reader) {
    const TOrderedParamString name = PlainParam("Name:", 1, "name", TOrderedParamString::RowSingle,
                                                TOrderedParamString::PosBody);
    const TOrderedParamString subject = PlainParam(
        "Subject:", 0, "subject", TOrderedParamString::RowSingle, TOrderedParamString::PosHeader);
    return std::make_unique<TCSVConverter>(
        std::move(reader),
        std::make_unique<TConvertParam>(std::vector<TOrderedParamString>{name, subject}));
}

// Holds mails back until the test opens it; shared by the test and the
// reader, which the window destroys when its conversion ends.
class TGate {
  public:
    void Open() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    void Wait() {
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// Mails from `first` on wait for the gate.
class TGatedReader : public TFakeReader {
  public:
    TGatedReader(int count, int first, std::shared_ptr<TGate> gate)
        : TFakeReader(count), first_(first), gate_(std::move(gate)) {}
    std::unique_ptr<TBasicMail> GetMail(int index) override {
        if (index >= first_) {
            gate_->Wait();
        }
        return TFakeReader::GetMail(index);
    }

  private:
    const int first_;
    std::shared_ptr<TGate> gate_;
};

// Mail 0 also waits for `start`.
class TStartGatedReader : public TGatedReader {
  public:
    TStartGatedReader(int count, std::shared_ptr<TGate> start, int first,
                      std::shared_ptr<TGate> gate)
        : TGatedReader(count, first, std::move(gate)), start_(std::move(start)) {}
    std::unique_ptr<TBasicMail> GetMail(int index) override {
        if (index == 0) {
            start_->Wait();
        }
        return TGatedReader::GetMail(index);
    }

  private:
    std::shared_ptr<TGate> start_;
};

// Counts the paint events of a widget.
class TPaintCounter : public QObject {
  public:
    explicit TPaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

  protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

// Declared after the form: opens the gate before the form goes, also when
// a test fails.
struct TGateOpener {
    std::shared_ptr<TGate> gate;
    ~TGateOpener() { gate->Open(); }
};

std::vector<std::vector<std::string>> MailRows(const TResultTable& table) {
    std::vector<std::vector<std::string>> rows;
    for (int r = TResultTable::FirstMailRow; r < table.RowCount(); ++r) {
        rows.push_back(table.Row(r).Cells());
    }
    return rows;
}

// Runs the code once the overwrite dialog is open.
void WhenSaveDialogOpens(std::function<void(TFormSaveCSVDialog&)> act) {
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act = std::move(act), poll] {
        if (auto* dialog = qobject_cast<TFormSaveCSVDialog*>(QApplication::activeModalWidget())) {
            act(*dialog);
            *poll = nullptr;  // breaks the cycle
            return;
        }
        QTimer::singleShot(5, [poll] {
            if (*poll) {
                (*poll)();
            }
        });
    };
    QTimer::singleShot(0, [poll] { (*poll)(); });
}

class FormConvertTest : public GuiFixture {
  protected:
    FormConvertTest() { geometry.SetScreenSize(1024, 768); }

    std::unique_ptr<TFormConvert> Make(std::unique_ptr<TCSVConverter> converter, int threads = 1) {
        auto form = std::make_unique<TFormConvert>(nullptr, std::move(converter), geometry);
        form->SetThreads(threads);
        return form;
    }
    // Shows the form and waits for the end of its conversion.
    void Convert(TFormConvert& form) {
        ShowActive(form);
        ASSERT_TRUE(WaitFor([&] { return form.Report().ended; }));
    }

    TParamFormConvert geometry;
    TTempDir dir;
};

TEST(ItemGridSizing, ColumnArithmeticByMode) {
    using G = TItemGrid;
    struct Case {
        G::COL_TYPE mode;
        int clientWidth;
        std::vector<int> widths;  // grid columns, the fixed one first
        std::vector<int> expected;
    };
    const std::vector<Case> cases = {
        {G::COL_FIT_ALL, 500, {30, 60, 60}, {233, 232}},
        {G::COL_FIT_ALL, 500, std::vector<int>(11, 30), std::vector<int>(10, 100)},
        {G::COL_FIT_LAST, 500, {30, 60, 60}, {60, 405}},
        {G::COL_FIT_LAST, 200, {30, 150, 60}, {150, 100}},  // too little left: 100
        {G::COL_FIXED, 500, {30, 60, 70}, {60, 70}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(G::FitWidths(c.mode, c.clientWidth, 30, 1, c.widths), c.expected)
            << c.mode << " " << c.clientWidth;
    }
}

TEST_F(FormConvertTest, ConvertsInMailOrderAndEndsReadyToSave) {
    for (const int threads : {1, 3}) {
        auto reader = std::make_unique<TFakeReader>(500);
        auto form = Make(FakeConverter(std::move(reader)), threads);
        EXPECT_EQ(form->windowTitle(), Q("変換結果"));
        Convert(*form);
        const TResultTable& table = form->Table();
        ASSERT_EQ(table.RowCount(), 502) << threads;
        EXPECT_EQ(table.Row(0).Cells(), (std::vector<std::string>{"", "A", "B"}));
        EXPECT_EQ(table.Row(1).Cells(), (std::vector<std::string>{"", "subject", "name"}));
        EXPECT_EQ(table.Row(501).Cells(), (std::vector<std::string>{"500", "s499", "n499"}));
        EXPECT_EQ(form->Grid()->model()->rowCount(), 500);
        EXPECT_EQ(form->Grid()->model()->headerData(499, Qt::Vertical).toString(), Q("500"));
        EXPECT_EQ(form->Report().converted, 500);
        EXPECT_TRUE(Find<QPushButton>(*form, "BtnSave")->isEnabled());
        auto* close = Find<QPushButton>(*form, "BtnClose");
        EXPECT_EQ(close->text(), Q("閉じる(&C)"));
        EXPECT_EQ(close->statusTip(), Q("閉じる"));
        EXPECT_FALSE(Find<QProgressBar>(*form, "ProgressBar")->isVisible());
        EXPECT_EQ(form->StatusText(), Q("変換処理を終了しました。500 通を表にしました。"));
        EXPECT_TRUE(modal.Boxes().empty());
    }
}

TEST_F(FormConvertTest, FailedMailAsksAndAnswerDecidesTheTable) {
    struct Case {
        TModalResult answer;
        TEnd end;
        std::vector<std::vector<std::string>> rows;
    };
    const std::vector<Case> cases = {
        {TModalResult::Yes,
         TEnd::Finished,
         {{"1", "s0", "n0"}, {"2", "s1", "n1"}, {"3", "", ""}, {"4", "s3", "n3"}}},
        {TModalResult::No, TEnd::Abandoned, {{"1", "s0", "n0"}, {"2", "s1", "n1"}}},
    };
    for (const Case& c : cases) {
        // The rows shown while the question is open.
        struct TWatchingService : TScriptedModalService {
            TModalResult Message(QWidget* parent, const QString& text, TMsgKind kind,
                                 TMsgButtons buttons, int helpTopic) override {
                shownRows = static_cast<TFormConvert*>(parent)->Grid()->model()->rowCount();
                arrived = static_cast<TFormConvert*>(parent)->Table().RowCount() - 2;
                return TScriptedModalService::Message(parent, text, kind, buttons, helpTopic);
            }
            int shownRows = -1;
            int arrived = -1;
        } watching;
        TModalServiceScope scope(watching);
        watching.AnswerMessage(c.answer);
        auto reader = std::make_unique<TFakeReader>(4);
        reader->FailAt(2, TFailure::Regex);
        auto form = Make(FakeConverter(std::move(reader)), 2);
        Convert(*form);
        ASSERT_EQ(watching.Boxes().size(), 1u);
        EXPECT_EQ(
            watching.Boxes()[0].text,
            Q("正規表現エラー\n4中3番目のメールでエラーが発生しました。\nbad pattern\n\n処理を"
              "続行しますか？(続行するときは「はい」、終了するときは「いいえ」)"));
        EXPECT_EQ(watching.Boxes()[0].kind, TMsgKind::Error);
        EXPECT_EQ(watching.Boxes()[0].buttons, TMsgButtons::YesNoHelp);
        EXPECT_EQ(watching.arrived, 2);  // nothing after the failed mail yet
        EXPECT_EQ(watching.shownRows, 4);
        EXPECT_EQ(form->Report().end, c.end);
        EXPECT_EQ(form->Report().failedMails, 1);
        EXPECT_EQ(MailRows(form->Table()), c.rows);
        EXPECT_EQ(form->Grid()->model()->rowCount(), static_cast<int>(c.rows.size()));
    }
}

TEST_F(FormConvertTest, EscStopsTheConversionThenClosesTheWindow) {
    auto gate = std::make_shared<TGate>();
    auto form = Make(FakeConverter(std::make_unique<TGatedReader>(1000, 3, gate)));
    const TGateOpener opener{gate};
    ShowActive(*form);
    ASSERT_TRUE(WaitFor([&] { return form->Table().RowCount() == 5; }));
    EXPECT_TRUE(form->IsConverting());
    EXPECT_EQ(form->Grid()->model()->rowCount(), 1000);  // the rows to come are there, empty
    EXPECT_FALSE(Find<QPushButton>(*form, "BtnSave")->isEnabled());
    QTest::keyClick(form->Grid(), Qt::Key_Escape);
    gate->Open();  // mail 4, already being read, is finished; no later one
    ASSERT_TRUE(WaitFor([&] { return form->Report().ended; }));
    EXPECT_EQ(form->Report().end, TEnd::Stopped);
    EXPECT_EQ(MailRows(form->Table()).size(), 4u);
    EXPECT_EQ(form->Grid()->model()->rowCount(), 4);
    EXPECT_EQ(form->StatusText(), Q("変換を中止しました。1,000 通のうち 4 通を表にしました。"));
    EXPECT_TRUE(form->isVisible());
    QTest::keyClick(form->Grid(), Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormConvertTest, RowsArrivingOnScreenArePaintedWithTheirNumbers) {
    auto start = std::make_shared<TGate>();
    auto rest = std::make_shared<TGate>();
    auto form = Make(FakeConverter(std::make_unique<TStartGatedReader>(1000, start, 3, rest)));
    const TGateOpener openRest{rest};
    const TGateOpener openStart{start};
    ShowActive(*form);
    ASSERT_TRUE(WaitFor([&] { return form->Grid()->model()->rowCount() == 1000; }));
    QTest::qWait(100);  // the empty rows are laid out and painted
    TPaintCounter cells(form->Grid()->viewport());
    TPaintCounter numbers(form->Grid()->verticalHeader()->viewport());
    start->Open();
    ASSERT_TRUE(WaitFor([&] { return form->Table().RowCount() == 5; }));
    EXPECT_TRUE(WaitFor([&] { return cells.count > 0 && numbers.count > 0; }, 2000));
    EXPECT_TRUE(form->IsConverting());
}

TEST_F(FormConvertTest, LoopFailureIsShownAndClosesTheWindow) {
    auto reader = std::make_unique<TFakeReader>(3);
    reader->FailCountFrom(1);
    auto form = Make(FakeConverter(std::move(reader)));
    Convert(*form);
    ASSERT_EQ(modal.Boxes().size(), 1u);
    EXPECT_EQ(modal.Boxes()[0].text, Q("0中1番目のメールでエラーが発生しました。\ncount failed"));
    EXPECT_EQ(modal.Boxes()[0].buttons, TMsgButtons::OkHelp);
    EXPECT_EQ(form->Report().end, TEnd::Failed);
    EXPECT_FALSE(form->isVisible());
}

// The rows are written while they arrive; a stop leaves no file, an edit
// during the run is saved with the rest.
TEST_F(FormConvertTest, AutomaticRunSavesAndClosesUnlessStopped) {
    enum TDuring { Nothing, Stop, Edit };
    for (const TDuring during : {Nothing, Stop, Edit}) {
        const std::string csv = dir.File("auto" + std::to_string(during) + ".csv");
        TAutoExexParam run;
        run.SetCsvFile(csv);
        run.SetSaveType(0);
        auto gate = std::make_shared<TGate>();
        auto form =
            Make(FakeConverter(std::make_unique<TGatedReader>(3, during == Nothing ? 3 : 1, gate)));
        const TGateOpener opener{gate};
        form->SetAutoExexParam(run);
        ShowActive(*form);
        if (during != Nothing) {
            ASSERT_TRUE(WaitFor([&] { return form->Table().RowCount() == 3; }));
            if (during == Stop) {
                Click(Find<QPushButton>(*form, "BtnClose"));
            } else {
                QAbstractItemModel* model = form->Grid()->model();
                ASSERT_TRUE(model->setData(model->index(0, 1), Q("edited"), Qt::EditRole));
            }
            gate->Open();
        }
        ASSERT_TRUE(WaitFor([&] { return !form->isVisible(); }));
        EXPECT_EQ(form->Report().automaticSaved, during != Stop);
        const std::string first = during == Edit ? "s0,edited" : "s0,n0";
        EXPECT_EQ(during == Stop ? "" : TTempDir::Read(csv),
                  during == Stop ? "" : "subject,name\r\n" + first + "\r\ns1,n1\r\ns2,n2\r\n");
        EXPECT_EQ(dir.Listing().find(".kfy-"), std::string::npos) << "no file left behind";
        EXPECT_TRUE(modal.Boxes().empty());
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("auto1.csv")));
}

TEST_F(FormConvertTest, SaveAddsCsvAndAsksBeforeReplacingAnExistingFile) {
    auto form = Make(FakeConverter(std::make_unique<TFakeReader>(2)));
    TCSVSaveParam save;
    save.SetSaveFileName(dir.File("out.txt"));
    save.SetSaveType(1);
    save.SetMakeBackup(false);
    form->SetSaveParam(save);
    Convert(*form);

    // A new file: no question.
    modal.AnswerFile(QString::fromStdString(dir.File("out.txt")));
    form->BtnSaveClick();
    ASSERT_EQ(modal.FileDialogs().size(), 1u);
    EXPECT_EQ(modal.FileDialogs()[0].request.fileName, QString::fromStdString(dir.File("out.txt")));
    EXPECT_EQ(modal.FileDialogs()[0].request.filter,
              Q("CSVファイル(*.csv)|*.csv|Excel ブック (*.xlsx)|*.xlsx"));
    const std::string written = "subject,name\r\ns0,n0\r\ns1,n1\r\n";
    EXPECT_EQ(TTempDir::Read(dir.File("out.txt.csv")), written);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.txt")));

    // It exists now: the project's save type picks the default button; the
    // box's backup state becomes the window's.
    struct Case {
        const char* click;
        bool backup;
        std::string content;
    };
    const std::vector<Case> cases = {
        {"BtnAdd", true, written + "s0,n0\r\ns1,n1\r\n"},
        {"BtnCancel", false, written + "s0,n0\r\ns1,n1\r\n"},
        {"BtnOver", false, written},
    };
    for (const Case& c : cases) {
        QString focused;
        bool boxShown = false;
        const bool windowBackup = form->GetSaveParam().GetMakeBackup();
        WhenSaveDialogOpens([&](TFormSaveCSVDialog& dialog) {
            focused = dialog.focusWidget() != nullptr ? dialog.focusWidget()->objectName() : "";
            auto* box = Find<QCheckBox>(dialog, "CheckBoxBackup");
            boxShown = box->isChecked();
            box->setChecked(c.backup);
            Find<QPushButton>(dialog, c.click)->click();
        });
        modal.AnswerFile(QString::fromStdString(dir.File("out.txt.csv")));
        form->BtnSaveClick();
        EXPECT_EQ(focused, Q("BtnAdd")) << c.click;
        EXPECT_EQ(boxShown, windowBackup) << c.click;
        EXPECT_EQ(TTempDir::Read(dir.File("out.txt.csv")), c.content) << c.click;
        if (std::string(c.click) != "BtnCancel") {
            EXPECT_EQ(form->GetSaveParam().GetMakeBackup(), c.backup) << c.click;
        }
    }
    EXPECT_EQ(TTempDir::Read(dir.File("out.txt.bak")), written);
    EXPECT_TRUE(modal.Boxes().empty());

    // A save that fails says so and leaves the window as it was.
    modal.AnswerFile(QString::fromStdString(dir.File("missing/out.csv")));
    form->BtnSaveClick();
    ASSERT_EQ(modal.Boxes().size(), 1u);
    EXPECT_EQ(modal.Boxes()[0].text, Q("ファイルの保存に失敗しました。\n") +
                                         QString::fromStdString(dir.File("missing/out.csv")) +
                                         Q("\n(No such file or directory)"));
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(MailRows(form->Table()).size(), 2u);
}

// A save to the file an only-new run keeps its record for appends without
// asking and records the mails; the next run finds nothing new but what
// came since.
TEST_F(FormConvertTest, OnlyNewSaveAppendsToItsFileAndRecordsTheMails) {
    TTempHome home;
    const std::string store = dir.File("in.mbox");
    const std::string csv = dir.File("out.csv");
    const auto mail = [](const std::string& subject) {
        return "From a@example.jp Mon Jun  3 09:00:00 2024\nSubject: " + subject + "\n\nx\n\n";
    };
    TTempDir::Write(store, mail("s0") + mail("s1"));
    const std::vector<std::string> contents = {"subject\r\ns0\r\ns1\r\n",
                                               "subject\r\ns0\r\ns1\r\ns2\r\n"};
    for (std::size_t round = 0; round < contents.size(); ++round) {
        if (round == 1) {
            TTempDir::Write(store, mail("s0") + mail("s1") + mail("s2"));
        }
        TOnlyNewRun run(csv);
        auto reader = run.Choose(TMailStoreFactory::Create(TMailStoreFactory::MboxFile, store),
                                 TMailStoreFactory::MboxFile, store);
        const TOrderedParamString subject =
            PlainParam("Subject:", 0, "subject", TOrderedParamString::RowSingle,
                       TOrderedParamString::PosHeader);
        auto form = Make(std::make_unique<TCSVConverter>(
            std::move(reader),
            std::make_unique<TConvertParam>(std::vector<TOrderedParamString>{subject})));
        form->SetOnlyNew(&run, csv);
        Convert(*form);
        EXPECT_TRUE(form->StatusText().contains(
            Q("変換済みのメール %1 通を飛ばしました。").arg(round == 0 ? 0 : 2)));
        // The overwrite dialog must not open; if it does, it is cancelled.
        bool asked = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<TFormSaveCSVDialog*>(QApplication::activeModalWidget())) {
                asked = true;
                Find<QPushButton>(*box, "BtnCancel")->click();
            }
        });
        watch.start(5);
        modal.AnswerFile(QString::fromStdString(csv));
        form->BtnSaveClick();
        EXPECT_FALSE(asked) << round;
        EXPECT_EQ(TTempDir::Read(csv), contents[round]) << round;
    }
}

// The save dialog refuses the run's inputs, as the command and the
// automatic run do, and leaves them as they were.
TEST_F(FormConvertTest, SaveRefusesTheStoreAndTheProject) {
    auto form = Make(FakeConverter(std::make_unique<TFakeReader>(2)));
    TTempDir::Write(dir.File("store.csv"), "From mails\n");
    TTempDir::Write(dir.File("p.csv"), "[EML]\r\n");
    form->SetOutputCheck(TOutputTargetCheck(dir.File("p.csv"), dir.File("store.csv")));
    Convert(*form);
    for (const char* name : {"store.csv", "p.csv"}) {
        WhenSaveDialogOpens(
            [](TFormSaveCSVDialog& dialog) { Find<QPushButton>(dialog, "BtnOver")->click(); });
        modal.AnswerFile(QString::fromStdString(dir.File(name)));
        form->BtnSaveClick();
    }
    ASSERT_EQ(modal.Boxes().size(), 2u);
    EXPECT_TRUE(modal.Boxes()[0].text.endsWith(Q("出力先がメールの保存ファイルです。")));
    EXPECT_TRUE(modal.Boxes()[1].text.endsWith(Q("出力先がプロジェクトファイルです。")));
    EXPECT_EQ(TTempDir::Read(dir.File("store.csv")), "From mails\n");
    EXPECT_EQ(TTempDir::Read(dir.File("p.csv")), "[EML]\r\n");
}

TEST_F(FormConvertTest, HeaderWarningsShowInTheStatusBar) {
    struct TWarningReader : TFakeReader {
        using TFakeReader::TFakeReader;
        std::unique_ptr<TBasicMail> GetMail(int index) override {
            if (index == 1 && Options().warning) {
                Options().warning(Sj("2番目のメール: ヘッダを解釈できません"));
            }
            return TFakeReader::GetMail(index);
        }
    };
    auto form = Make(FakeConverter(std::make_unique<TWarningReader>(3)));
    Convert(*form);
    auto* label = Find<QLabel>(*form, "WarningLabel");
    EXPECT_TRUE(label->isVisible());
    EXPECT_TRUE(label->text().contains(Q("2番目のメール: ヘッダを解釈できません")));
    EXPECT_EQ(form->StatusText(), Q("変換処理を終了しました。3 通を表にしました。"));
}

TEST_F(FormConvertTest, KeptGeometryIsRestoredAndWidthsNoLongerFollowTheWindow) {
    geometry.SetKeepWindowSize(true);
    geometry.StoreGeometry(10, 20, 700, 450);
    geometry.SetKeepColumnWidths(true);
    geometry.StoreColumnWidths({40, 150});  // fewer than the grid's columns
    auto form = Make(FakeConverter(std::make_unique<TFakeReader>(1)));
    Convert(*form);
    EXPECT_EQ(form->size(), QSize(700, 450));
    EXPECT_EQ(form->Grid()->GetColType(), TItemGrid::COL_FIXED);
    EXPECT_EQ(form->Grid()->ColWidths(), (std::vector<int>{40, 150, 100}));
    form->resize(900, 500);
    QApplication::processEvents();
    EXPECT_EQ(form->Grid()->ColWidths(), (std::vector<int>{40, 150, 100}));

    geometry.SetKeepWindowSize(false);
    geometry.StoreColumnWidths({});
    auto defaults = Make(FakeConverter(std::make_unique<TFakeReader>(1)));
    Convert(*defaults);
    EXPECT_EQ(defaults->Grid()->ColWidths(), (std::vector<int>{50, 100, 100}));
}

TEST_F(FormConvertTest, CloseStoresGeometryAndCommitsTheOpenEdit) {
    auto form = Make(FakeConverter(std::make_unique<TFakeReader>(2)));
    Convert(*form);
    form->resize(640, 420);
    TItemGrid* grid = form->Grid();
    grid->setColumnWidth(0, 123);
    grid->setFocus();
    grid->setCurrentIndex(grid->model()->index(1, 0));
    QTest::keyClick(grid, Qt::Key_F2);
    ASSERT_NE(grid->InplaceEditor(), nullptr);
    grid->InplaceEditor()->insertPlainText(Q("追記"));
    modal.AnswerMessage(TModalResult::No);
    form->close();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->Table().Cell(3, 1), Sj("s1追記"));
    EXPECT_EQ(geometry.GetWidth(), 640);
    EXPECT_EQ(geometry.GetHeight(), 420);
    EXPECT_EQ(geometry.GetColumnWidths().size(), 3u);
    EXPECT_EQ(geometry.GetColumnWidths()[1], 123);
    EXPECT_FALSE(geometry.GetKeepWindowSize() || geometry.GetKeepColumnWidths());
}

TEST_F(FormConvertTest, SavedExampleProjectEqualsTheCommandsCsv) {
    const std::string root = KESTRIFY_SOURCE_DIR;
    TSettingFile project(root + "/examples/inquiries.KFY");
    project.Read();
    TGridParamList list;
    for (const TOrderedParamString& p : project.GetParams()) {
        list.Add(p);
    }
    std::vector<TOrderedParamString> params;
    for (int i = 0; i < list.Count(); ++i) {
        params.push_back(list.Get(i));
    }
    auto converter = std::make_unique<TCSVConverter>(
        TMailStoreFactory::Create(project.GetMailType(), root + "/examples/inquiries.mbox"),
        std::make_unique<TConvertParam>(params));
    auto form = Make(std::move(converter), 2);
    Convert(*form);
    modal.AnswerFile(QString::fromStdString(dir.File("example.csv")));
    form->BtnSaveClick();
    EXPECT_EQ(TTempDir::Read(dir.File("example.csv")),
              TTempDir::Read(root + "/tests/cli/expected/example.csv"));

    // The same as a workbook named after the project: the CSV's cells.
    form->SetSheetName(Sj("問い合わせ"));
    modal.AnswerFile(QString::fromStdString(dir.File("example.xlsx")));
    form->BtnSaveClick();
    const TWorkbookCells book = TWorkbookCells::Read(dir.File("example.xlsx"));
    EXPECT_EQ(book.sheetName, "問い合わせ");
    std::vector<std::vector<std::string>> csvCells;
    TCsvRowReader reader([&](std::vector<std::string>& cells) {
        csvCells.emplace_back();
        for (const std::string& cell : cells) {
            csvCells.back().push_back(TSjisUnicode::ToUtf8(cell));
        }
        return true;
    });
    reader.Feed(TTempDir::Read(dir.File("example.csv")));
    reader.Finish();
    ASSERT_EQ(book.rows.size(), csvCells.size());
    for (std::size_t r = 0; r < csvCells.size(); ++r) {
        std::vector<std::string> row = book.rows[r];
        row.resize(csvCells[r].size());
        for (std::size_t c = 0; c < row.size(); ++c) {
            EXPECT_EQ(row[c], csvCells[r][c]) << r << "," << c;
        }
    }
}

}  // namespace

TEST_F(FormConvertTest, UnsavedEditsAreAskedAboutBeforeTheWindowCloses) {
    struct Case {
        const char* name;
        bool edit;
        std::vector<TModalResult> answers;  // to the question, then the save box if any
        std::optional<QString> saveAs;
        bool closed;
    };
    const QString csv = QString::fromStdString(dir.File("edited.csv"));
    const std::vector<Case> cases = {
        {"no edit", false, {}, std::nullopt, true},
        {"cancel", true, {TModalResult::Cancel}, std::nullopt, false},
        {"discard", true, {TModalResult::No}, std::nullopt, true},
        {"save", true, {TModalResult::Yes}, csv, true},
        {"save dialog cancelled", true, {TModalResult::Yes}, std::nullopt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        modal.Clear();
        auto form = Make(FakeConverter(std::make_unique<TFakeReader>(2)));
        Convert(*form);
        if (c.edit) {
            form->Grid()->model()->setData(form->Grid()->model()->index(0, 0), Q("直した"));
        }
        for (TModalResult answer : c.answers) {
            modal.AnswerMessage(answer);
        }
        if (!c.answers.empty() && c.answers[0] == TModalResult::Yes) {
            modal.AnswerFile(c.saveAs);
        }
        QTest::keyClick(form->Grid(), Qt::Key_Escape);
        EXPECT_EQ(!form->isVisible(), c.closed);
        ASSERT_EQ(modal.Boxes().size(), c.edit ? 1U : 0U);
        if (c.edit) {
            EXPECT_EQ(modal.Boxes()[0].text, Q("表は変更されています。保存しますか？"));
            EXPECT_EQ(modal.Boxes()[0].buttons, TMsgButtons::SaveDiscardCancel);
        }
        if (c.saveAs) {
            EXPECT_NE(TTempDir::Read(dir.File("edited.csv")).find(Sj("直した")), std::string::npos);
        }
    }
}

TEST_F(FormConvertTest, CtrlFFindsCellsForwardAndBackward) {
    auto form = Make(FakeConverter(std::make_unique<TFakeReader>(12)));
    Convert(*form);
    ShowActive(*form);
    QTest::keySequence(form.get(), QKeySequence::Find);
    auto* edit = Find<QLineEdit>(*form, "EditFind");
    ASSERT_TRUE(edit->isVisible());
    ASSERT_TRUE(edit->hasFocus());
    // The fake rows: subject "s<n>", name "n<n>"; "S1" matches s1, s10, s11.
    Type(edit, Q("S1"));
    const std::vector<std::pair<Qt::KeyboardModifiers, int>> steps = {{Qt::NoModifier, 1},
                                                                      {Qt::NoModifier, 10},
                                                                      {Qt::NoModifier, 11},
                                                                      {Qt::NoModifier, 1},
                                                                      {Qt::ShiftModifier, 11}};
    for (const auto& [modifiers, row] : steps) {
        QTest::keyClick(edit, modifiers == Qt::NoModifier ? Qt::Key_Return : Qt::Key_F3, modifiers);
        EXPECT_EQ(form->Grid()->currentIndex().row(), row);
        EXPECT_EQ(form->Grid()->currentIndex().column(), 0);
    }
    edit->setText(Q("見当たらない"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(Find<QLabel>(*form, "FindStatus")->text(), Q("見つかりません。"));
    QTest::keyClick(edit, Qt::Key_Escape);  // closes the bar, not the window
    EXPECT_FALSE(edit->isVisible());
    EXPECT_TRUE(form->isVisible());
}

TEST(ItemGridSizing, ColumnsWidenToTheirTitleAndFirstRowsWithinABound) {
    QStandardItemModel model(2, 3);
    model.setHorizontalHeaderLabels({Q("日"), Q("とても長い列の見出しの名前"), Q("x")});
    model.setData(model.index(0, 0), Q("2024/06/03 10:00:00"));
    model.setData(model.index(1, 2), QString(400, u'w'));
    TItemGrid grid;
    grid.setModel(&model);
    for (int c = 1; c < grid.ColCount(); ++c) {
        grid.SetColWidth(c, 40);
    }
    grid.FitColumnsToContents(50, 320);
    const QFontMetrics cells(grid.font());
    EXPECT_GE(grid.ColWidth(1), cells.horizontalAdvance(Q("2024/06/03 10:00:00")));
    EXPECT_GE(grid.ColWidth(2), QFontMetrics(grid.horizontalHeader()->font())
                                    .horizontalAdvance(Q("とても長い列の見出しの名前")));
    EXPECT_EQ(grid.ColWidth(3), 320);
    EXPECT_EQ(grid.GetColType(), TItemGrid::COL_FIXED);
}

// A cell of megabytes is shown cut at a character (painting it whole took
// longer and more memory than converting it); editing and saving take it whole.
TEST(ResultTableModel, AHugeCellIsShownCutAtACharacterButEditedWhole) {
    constexpr int kShown = 64 * 1024;
    const struct {
        std::string cell;
        QString shown;
    } cases[] = {
        {std::string(kShown, 'a'), QString(kShown, u'a')},
        // "あ" (82 A0) would end one byte past the limit.
        {std::string(kShown - 1, 'a') + "\x82\xa0" + std::string(1000, 'b'),
         QString(kShown - 1, u'a') + u'\u2026'},
        {std::string(kShown - 2, 'a') + "\x82\xa0" + "b", QString(kShown - 2, u'a') + Q("あ…")},
    };
    for (const auto& c : cases) {
        TResultTableModel model({"Body"});
        TResultTable rows(2);
        rows.PutRow(1, {c.cell});
        model.Append(rows);
        const QModelIndex cell = model.index(0, 0);
        EXPECT_EQ(model.data(cell, Qt::DisplayRole).toString(), c.shown);
        EXPECT_EQ(model.data(cell, Qt::EditRole).toString(), TQtText::FromSjis(c.cell));
    }
}

TEST_F(FormConvertTest, SaveDialogStartsWhereTheProjectsCsvIs) {
    auto form = Make(FakeConverter(std::make_unique<TFakeReader>(1)));
    TCSVSaveParam save;
    save.SetSaveFileName("results/out.csv");  // relative: from the project's folder
    form->SetSaveParam(save);
    form->SetProjectFolder(QString::fromStdString(dir.Path().string()));
    Convert(*form);
    form->BtnSaveClick();  // cancelled
    ASSERT_EQ(modal.FileDialogs().size(), 1u);
    const QString expected = QString::fromStdString((dir.Path() / "results/out.csv").string());
    EXPECT_EQ(modal.FileDialogs()[0].request.fileName, expected);
    EXPECT_EQ(modal.FileDialogs()[0].request.initialDir,
              QString::fromStdString((dir.Path() / "results").string()));
}
