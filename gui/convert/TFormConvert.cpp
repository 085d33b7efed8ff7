#include "gui/convert/TFormConvert.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <new>
#include <system_error>
#include <thread>

#include "base/THelpTopic.h"
#include "base/TKestrifyError.h"
#include "codeconv/TSjisUnicode.h"
#include "convert/TConvertMessages.h"
#include "convert/TConvertWorker.h"
#include "convert/TCsvFile.h"
#include "convert/TCsvPrewriter.h"
#include "convert/TTableSearch.h"
#include "gui/base/THelpService.h"
#include "gui/base/THint.h"
#include "gui/base/TModalService.h"
#include "gui/base/TProgramEnd.h"
#include "gui/base/TQtText.h"
#include "gui/base/UiText.h"
#include "gui/controls/TWorkAside.h"
#include "gui/convert/TFormSaveCSVDialog.h"
#include "gui/convert/TItemGrid.h"
#include "gui/convert/TResultTableModel.h"
#include "state/TOnlyNewRecord.h"
#include "state/TOnlyNewRun.h"

namespace {

// The window takes new rows this often; progress and status change less
// often, a few times a second.
constexpr int kPollMs = 25;
constexpr int kProgressMs = 200;
constexpr int kMaxThreads = 16;
constexpr int kFitSampleRows = 50;
constexpr int kFitMaxWidth = 320;

QPushButton* MakeButton(QWidget* parent, const char* name, const QString& caption,
                        const QString& hint) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    if (!hint.isEmpty()) {
        THint::Apply(button, hint);
    }
    return button;
}

// Passes a save's questions and reports from the writing thread to the
// window's thread and waits for each.
class TWindowThreadHost : public TCsvSaveHost {
  public:
    TWindowThreadHost(QObject* window, TCsvSaveHost& target) : window_(window), target_(target) {}

    bool ConfirmBackupFailure(const std::string& message) override {
        bool goOn = false;
        OnWindowThread([&] { goOn = target_.ConfirmBackupFailure(message); });
        return goOn;
    }
    void ReportSaveFailure(const std::string& message) override {
        OnWindowThread([&] { target_.ReportSaveFailure(message); });
    }
    void ShowStatus(const std::string& message) override {
        OnWindowThread([&] { target_.ShowStatus(message); });
    }
    void SetBusy(bool busy) override {
        OnWindowThread([&] { target_.SetBusy(busy); });
    }
    void SaveWarning(const std::string& message) override {
        OnWindowThread([&] { target_.SaveWarning(message); });
    }

  private:
    void OnWindowThread(const std::function<void()>& call) {
        if (QThread::currentThread() == window_->thread()) {
            call();
        } else {
            QMetaObject::invokeMethod(window_, call, Qt::BlockingQueuedConnection);
        }
    }

    QObject* window_;
    TCsvSaveHost& target_;
};

// The memory message of the whole program.
QString OutOfMemoryText() {
    return U("メモリが不足しています。");
}

// "<first line>\n<path>\n<the rest>": a failure names its file.
QString WithPath(const QString& message, const QString& path) {
    if (path.isEmpty()) {
        return message;
    }
    const qsizetype lineEnd = message.indexOf(u'\n');
    if (lineEnd < 0) {
        return message + u'\n' + path;
    }
    return message.left(lineEnd) + u'\n' + path + message.mid(lineEnd);
}

}  // namespace

int TFormConvert::DefaultThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(cores), 1, kMaxThreads);
}

TFormConvert::TFormConvert(QWidget* parent, std::unique_ptr<TCSVConverter> converter,
                           TParamFormConvert& geometry)
    : TDialogForm(parent),
      converter_(std::move(converter)),
      geometry_(geometry),
      threads_(DefaultThreads()),
      model_(new TResultTableModel(converter_->GetFieldNames(), this)),
      grid_(new TItemGrid(this)),
      progressBar_(new QProgressBar(this)),
      btnSave_(
          MakeButton(this, "BtnSave", U("保存(&S)"), U("CSV形式に保存する|CSV形式に保存する"))),
      btnClose_(MakeButton(this, "BtnClose", U("キャンセル"), U("キャンセル|キャンセル"))),
      btnHelp_(MakeButton(this, "BtnHelp", U("ヘルプ(&H)"), QString())),
      warningLabel_(new QLabel(this)),
      pollTimer_(new QTimer(this)) {
    setObjectName(QStringLiteral("FormConvert"));
    setWindowTitle(U("変換結果"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setSizeGripEnabled(false);
    SetHelpContext(THelpTopic::ConvertResult);

    grid_->setObjectName(QStringLiteral("ItemGrid"));
    grid_->setModel(model_);
    grid_->SetColType(TItemGrid::COL_FIT_ALL);
    grid_->SetColWidth(0, 30);
    progressBar_->setObjectName(QStringLiteral("ProgressBar"));
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);
    progressBar_->setFixedHeight(16);
    warningLabel_->setObjectName(QStringLiteral("WarningLabel"));
    warningLabel_->hide();
    StatusBar()->setSizeGripEnabled(true);
    StatusBar()->addPermanentWidget(warningLabel_);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->addWidget(grid_, 1);
    layout->addWidget(MakeFindBar());
    layout->addWidget(progressBar_);
    layout->addLayout(ButtonRow({btnSave_, btnClose_, btnHelp_}));
    AddStatusBar(layout);
    resize(587, 377);

    connect(btnSave_, &QPushButton::clicked, this, &TFormConvert::BtnSaveClick);
    connect(btnClose_, &QPushButton::clicked, this, &TFormConvert::BtnCloseClick);
    connect(btnHelp_, &QPushButton::clicked, this,
            [] { THelpService::Current().ShowTopic(THelpTopic::ConvertResult); });
    connect(pollTimer_, &QTimer::timeout, this, &TFormConvert::Poll);

    windowHost_ = std::make_unique<TWindowThreadHost>(this, static_cast<TCsvSaveHost&>(*this));
    worker_ = std::make_unique<TConvertWorker>(*converter_);
    // The end (and a question) is taken at once, not at the next tick.
    worker_->SetUrgentNews(
        [this] { QMetaObject::invokeMethod(this, &TFormConvert::Poll, Qt::QueuedConnection); });
    // The warnings go to this window; the rest of the options stay the project's.
    TMailOptions options = converter_->GetMailOptions();
    options.warning = [worker = worker_.get()](const std::string& message) {
        worker->Warning(message);
    };
    converter_->SetMailOptions(std::move(options));
}

TFormConvert::~TFormConvert() {
    // The loop's threads end before the converter they read goes; an
    // unfinished early file before the table it reads.
    prewriter_.reset();
    worker_.reset();
    converter_.reset();
}

void TFormConvert::DropWork() {
    prewriter_.reset();
    worker_.reset();
    converter_.reset();
}

const TResultTable& TFormConvert::Table() const {
    return model_->Table();
}

void TFormConvert::SetSaveParam(const TCSVSaveParam& param) {
    saveParam_ = param;
    saveFileName_ = TQtText::FromSjis(param.GetSaveFileName());
    SetProjectFolder(projectFolder_);
}

void TFormConvert::SetProjectFolder(const QString& folder) {
    projectFolder_ = folder;
    if (!folder.isEmpty() && !saveFileName_.isEmpty() && QDir::isRelativePath(saveFileName_)) {
        saveFileName_ = QDir(folder).absoluteFilePath(saveFileName_);
    }
}

void TFormConvert::setVisible(bool visible) {
    // Placed before it appears, so the window does not jump.
    if (visible && !shown_) {
        shown_ = true;
        RestoreGeometry();
        btnSave_->setEnabled(false);
        QTimer::singleShot(0, this, &TFormConvert::StartConversion);
    }
    TDialogForm::setVisible(visible);
}

void TFormConvert::RestoreGeometry() {
    if (geometry_.GetKeepWindowSize()) {
        move(geometry_.GetLeft(), geometry_.GetTop());
        resize(geometry_.GetWidth(), geometry_.GetHeight());
    }
    if (geometry_.GetKeepColumnWidths()) {
        for (int c = 0; c < grid_->ColCount(); ++c) {
            grid_->SetColWidth(c, geometry_.GetColumnWidth(c));
        }
        grid_->SetColType(TItemGrid::COL_FIXED);
    }
}

void TFormConvert::StoreGeometry() {
    geometry_.StoreGeometry(x(), y(), width(), height());
    geometry_.StoreColumnWidths(grid_->ColWidths());
}

void TFormConvert::StartConversion() {
    if (converting_ || report_.ended || !isVisible()) {
        return;
    }
    converting_ = true;
    if (autoParam_) {
        // The rows go to the file as they arrive: the save then only
        // finishes it, as in kestrify-cli.
        auto early =
            std::make_unique<TCsvPrewriter>(model_->Table(), *windowHost_, autoParam_->GetCsvFile(),
                                            autoParam_->GetSaveType(), SaveOptions());
        if (early->IsWriting()) {
            prewriter_ = std::move(early);
        }
    }
    worker_->Start(threads_);
    pollTimer_->start(kPollMs);
}

void TFormConvert::Poll() {
    if (!converting_ || asking_) {
        return;  // a question is open: its box runs the events meanwhile
    }
    TConvertWorker::TNews news = worker_->Take();
    if (news.start) {
        Started(news.start->count, news.start->multiLine);
    }
    const int arrived = model_->Table().RowCount();
    model_->Append(news.rows);
    if (prewriter_) {
        prewriter_->Add(arrived, model_->Table().RowCount());
    }
    // Dates and addresses are not cut at a fixed width: once the first rows
    // are there, the columns take what their title and those rows need.
    if (!columnsFitted_ && !geometry_.GetKeepColumnWidths() && model_->MailRows() > 0) {
        columnsFitted_ = true;
        grid_->FitColumnsToContents(kFitSampleRows, kFitMaxWidth);
    }
    if (news.position != position_ &&
        (!progressShown_.isValid() || progressShown_.elapsed() >= kProgressMs)) {
        ShowProgress(news.position);
    }
    if (news.warning) {
        ShowWarning(*news.warning, news.warnings);
    }
    if (news.question) {
        Ask(*news.question);
    }
    if (news.end) {
        Finished(*news.end);
    }
}

void TFormConvert::Started(int count, bool multiLine) {
    report_.count = count;
    // The row height first: changing it later touches every row.
    grid_->SetDoubleRowHeight(multiLine);
    model_->Expect(count);
    progressBar_->setRange(0, std::max(count, 1));
    FitNumberColumn(count);
    grid_->SetColSize();
    ShowProgress(0);
}

// The number column is at least as wide as the largest number needs.
void TFormConvert::FitNumberColumn(int count) {
    const QString widest = QString(QString::number(std::max(count, 1)).size(), u'0');
    const int needed = grid_->verticalHeader()->fontMetrics().horizontalAdvance(widest) + 12;
    if (grid_->ColWidth(0) < needed) {
        grid_->SetColWidth(0, needed);
    }
}

void TFormConvert::ShowProgress(int position) {
    position_ = position;
    progressShown_.start();
    progressBar_->setValue(std::min(position, progressBar_->maximum()));
    StatusBar()->showMessage(
        TQtText::FromSjis(TConvertMessages::Progress(position, report_.count)));
}

void TFormConvert::ShowWarning(const std::string& sjisMessage, int warnings) {
    const QString text = TQtText::FromSjis(sjisMessage);
    const QString shown = U("警告: ") + text;
    warningLabel_->setText(
        warningLabel_->fontMetrics().elidedText(shown, Qt::ElideRight, width() / 2));
    warningLabel_->setToolTip(U("警告 %1 件。最新: ").arg(warnings) + text);
    warningLabel_->show();
}

void TFormConvert::Ask(const TConvertError& error) {
    ++report_.failedMails;
    ShowProgress(position_);
    asking_ = true;
    const TModalResult answer =
        TModalService::Current().Message(this, TQtText::FromSjis(error.Text()), TMsgKind::Error,
                                         TMsgButtons::YesNoHelp, THelpTopic::ConvertResult);
    asking_ = false;
    worker_->Answer(answer == TModalResult::Yes);
}

void TFormConvert::Finished(const TConvertOutcome& outcome) {
    pollTimer_->stop();
    converting_ = false;
    worker_.reset();
    const int skippedEntries = converter_ ? converter_->SkippedEntries() : 0;
    if (!autoParam_ || stopRequested_ || outcome.end == TConvertOutcome::TEnd::Failed) {
        converter_.reset();  // the mail store closes here (else while the save runs)
    }
    model_->CutToArrived();
    report_.ended = true;
    report_.end = outcome.end;
    report_.converted = outcome.converted;

    progressBar_->hide();
    btnSave_->setEnabled(true);
    btnClose_->setText(U("閉じる(&C)"));
    THint::Apply(btnClose_, U("閉じる|閉じる"));
    // A stopped table must not look complete.
    QString status =
        TQtText::FromSjis(outcome.end == TConvertOutcome::TEnd::Stopped ||
                                  outcome.end == TConvertOutcome::TEnd::Abandoned
                              ? TConvertMessages::Stopped(report_.count, model_->MailRows())
                              : TConvertMessages::FinishedRows(model_->MailRows()));
    if (onlyNew_ != nullptr) {
        status += U(" 変換済みのメール %1 通を飛ばしました。").arg(onlyNew_->Skipped());
    }
    if (skippedEntries > 0) {
        status += U(" ") + TQtText::FromSjis(TConvertMessages::SkippedEntries(skippedEntries));
    }
    StatusBar()->showMessage(status);
    emit ConversionEnded();

    if (outcome.end == TConvertOutcome::TEnd::Failed) {
        prewriter_.reset();
        report_.outOfMemory = outcome.outOfMemory;
        TModalService::Current().Message(this, TQtText::FromSjis(outcome.message), TMsgKind::Error,
                                         TMsgButtons::OkHelp, THelpTopic::ConvertResult);
        close();
        return;
    }
    if (autoParam_) {
        if (!stopRequested_ && !TProgramEnd::Requested()) {
            SaveAutomatic();
        }
        prewriter_.reset();
        close();
        return;
    }
    if (closeWhenStopped_) {
        close();
    }
}

void TFormConvert::SaveAutomatic() {
    std::string error;
    grid_->CommitEdit();
    // An edit since the rows were written early: the table is what is saved.
    std::unique_ptr<TCsvPrewriter> early = std::move(prewriter_);
    if (model_->Edited()) {
        early.reset();
    }
    saveTarget_ = autoParam_->GetCsvFile();
    const auto save = [&] {
        return SaveAside([this](TCsvFile& file) { return file.SaveAutomatic(*autoParam_); }, error,
                         early.get());
    };
    report_.automaticSaved = onlyNew_ != nullptr && IsOnlyNewTarget(autoParam_->GetCsvFile())
                                 ? SaveRecorded(save)
                                 : save();
    if (!error.empty()) {
        TModalService::Current().Message(
            this, report_.outOfMemory ? OutOfMemoryText() : TQtText::FromSjis(error),
            TMsgKind::Error, TMsgButtons::OkHelp, THelpTopic::ConvertResult);
    }
}

// Writing a large table takes a while: it runs on a thread of its own while
// the window keeps painting but takes no input. The questions and reports of
// the save come back to the window's thread, which answers them as usual.
bool TFormConvert::SaveAside(const std::function<bool(TCsvFile&)>& save, std::string& error,
                             TCsvPrewriter* early) {
    TCsvFile file(model_->Table(), *windowHost_, SaveOptions());
    bool saved = false;
    TWorkAside::Run(
        this,
        [&] {
            try {
                TCsvFile* written = early != nullptr ? early->Finish() : nullptr;
                saved = save(written != nullptr ? *written : file);
            } catch (const std::bad_alloc&) {
                report_.outOfMemory = true;
                error = TQtText::ToSjis(OutOfMemoryText());
            } catch (const std::exception& e) {
                error = e.what();
                if (error.empty()) {
                    error = TConvertMessages::UnknownError();
                }
            }
        },
        // Unmapping a large store takes a while: done beside the writing.
        [this] { converter_.reset(); });
    return saved;
}

bool TFormConvert::IsOnlyNewTarget(const std::string& sjisName) const {
    return onlyNew_ != nullptr && TOnlyNewRecord::Resolve(TSjisUnicode::ToPath(sjisName)) ==
                                      TOnlyNewRecord::Resolve(TSjisUnicode::ToPath(onlyNewOutput_));
}

bool TFormConvert::SaveRecorded(const std::function<bool()>& save) {
    const int rows = std::max(model_->Table().RowCount() - TResultTable::FirstMailRow, 0);
    try {
        if (!onlyNew_->NeedsSave(rows)) {
            onlyNew_->Stage(0);  // nothing new: the CSV stays as it is
            onlyNew_->Commit();
            return true;
        }
        onlyNew_->Stage(rows);
        // The rows are in the file (synced) before the record says so.
        const bool saved = save();
        if (saved) {
            onlyNew_->Commit();
        } else {
            onlyNew_->Drop();
        }
        onlyNew_ = saved ? nullptr : onlyNew_;  // recorded once: a later save is a plain one
        return saved;
    } catch (const TKestrifyError& e) {
        // A record that cannot be written is settled by the next run.
        TModalService::Current().Message(this, TQtText::FromSjis(e.what()), TMsgKind::Error,
                                         TMsgButtons::Ok, 0);
        return false;
    }
}

void TFormConvert::BtnSaveClick() {
    if (converting_) {
        return;
    }
    grid_->CommitEdit();
    TFileRequest request;
    request.caption = U("名前を付けて保存");
    request.filter = U("CSVファイル(*.csv)|*.csv|Excel ブック (*.xlsx)|*.xlsx");
    request.defaultExt = QStringLiteral("csv");  // the chosen filter's when it is the workbook
    request.fileName = saveFileName_;
    request.initialDir = QFileInfo(saveFileName_).path();
    const std::optional<QString> chosen = TModalService::Current().SaveFile(this, request);
    if (!chosen) {
        return;
    }
    saveFileName_ = *chosen;
    std::string name = TQtText::ToSjis(*chosen);
    if (TQtText::FromSjis(name) != *chosen) {
        TModalService::Current().Message(
            this,
            TQtText::FromSjis(TConvertMessages::SaveFailed()) + U("\n") + *chosen +
                U("\nShift_JIS で表せない文字を含むファイル名には保存できません。"),
            TMsgKind::Error, TMsgButtons::Ok, 0);
        return;
    }
    name = TCsvFile::WithCsvExtension(name);

    int saveType = TCsvFile::Overwrite;
    bool backup = false;
    std::error_code ec;
    const bool recorded = IsOnlyNewTarget(name);
    if (recorded) {
        // Only new mail: appended to the file the record is kept for.
        saveType = onlyNew_->SaveType();
        backup = saveParam_.GetMakeBackup();
    } else if (std::filesystem::exists(TSjisUnicode::ToPath(name), ec)) {
        TFormSaveCSVDialog dialog(this);
        dialog.SetMakeBackup(saveParam_.GetMakeBackup());
        dialog.SetSaveType(saveParam_.GetSaveType());
        dialog.SetFileName(TQtText::FromSjis(name));
        dialog.exec();
        if (dialog.Answer() == TModalResult::Cancel) {
            return;
        }
        saveType = dialog.Answer() == TModalResult::No ? TCsvFile::Append : TCsvFile::Overwrite;
        saveParam_.SetMakeBackup(dialog.GetMakeBackup());
        backup = dialog.GetMakeBackup();
    }
    if (outputCheck_) {
        if (auto refusal = outputCheck_->Refuse(name, backup)) {
            TModalService::Current().Message(this, TQtText::FromSjis(refusal->message),
                                             TMsgKind::Error, TMsgButtons::Ok, 0);
            return;
        }
    }
    saveTarget_ = name;
    bool abandoned = false;
    int lastError = 0;
    std::string error;
    const auto save = [&] {
        return SaveAside(
            [&](TCsvFile& file) {
                if (backup && !file.BackupCsvFile(name)) {
                    abandoned = true;
                    return false;
                }
                const bool ok = file.WriteCsvFile(name, saveType);
                lastError = file.LastError();
                return ok;
            },
            error);
    };
    const bool written = recorded ? SaveRecorded(save) : save();
    if (written) {
        model_->MarkSaved();
    } else if (!abandoned && !TProgramEnd::Requested()) {
        QString text = TQtText::FromSjis(TConvertMessages::SaveFailed(lastError));
        if (!error.empty()) {
            text += U("\n") + TQtText::FromSjis(error);
        }
        TModalService::Current().Message(this, WithPath(text, TQtText::FromSjis(name)),
                                         TMsgKind::Error, TMsgButtons::Ok, 0);
    }
}

QWidget* TFormConvert::MakeFindBar() {
    findBar_ = new QWidget(this);
    findBar_->setObjectName(QStringLiteral("FindBar"));
    auto* label = new QLabel(U("検索(&F):"), findBar_);
    findEdit_ = new QLineEdit(findBar_);
    findEdit_->setObjectName(QStringLiteral("EditFind"));
    findEdit_->setClearButtonEnabled(true);
    label->setBuddy(findEdit_);
    QPushButton* previous =
        MakeButton(findBar_, "BtnFindPrevious", U("前へ"), U("前を検索|前を検索します (Shift+F3)"));
    QPushButton* next =
        MakeButton(findBar_, "BtnFindNext", U("次へ"), U("次を検索|次を検索します (Enter, F3)"));
    findStatus_ = new QLabel(findBar_);
    findStatus_->setObjectName(QStringLiteral("FindStatus"));
    auto* row = new QHBoxLayout(findBar_);
    row->setContentsMargins(0, 4, 0, 0);
    row->addWidget(label);
    row->addWidget(findEdit_, 1);
    row->addWidget(previous);
    row->addWidget(next);
    row->addWidget(findStatus_);
    findBar_->hide();

    connect(findEdit_, &QLineEdit::returnPressed, this, [this] { FindNext(true); });
    connect(next, &QPushButton::clicked, this, [this] { FindNext(true); });
    connect(previous, &QPushButton::clicked, this, [this] { FindNext(false); });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, &TFormConvert::ShowFindBar);
    auto* again = new QShortcut(QKeySequence::FindNext, this);
    connect(again, &QShortcut::activated, this, [this] { FindNext(true); });
    auto* back = new QShortcut(QKeySequence::FindPrevious, this);
    connect(back, &QShortcut::activated, this, [this] { FindNext(false); });
    return findBar_;
}

void TFormConvert::ShowFindBar() {
    findBar_->show();
    findEdit_->setFocus(Qt::ShortcutFocusReason);
    findEdit_->selectAll();
}

void TFormConvert::FindNext(bool forward) {
    if (findEdit_->text().isEmpty()) {
        ShowFindBar();
        return;
    }
    grid_->CommitEdit();
    const TTableSearch search(TQtText::ToSjis(findEdit_->text()));
    std::optional<TTableSearch::TCell> from;
    const QModelIndex current = grid_->currentIndex();
    if (current.isValid()) {
        from =
            TTableSearch::TCell{current.row() + TResultTable::FirstMailRow, current.column() + 1};
    }
    const std::optional<TTableSearch::TCell> found = search.Next(model_->Table(), from, forward);
    if (!found) {
        findStatus_->setText(U("見つかりません。"));
        return;
    }
    findStatus_->clear();
    const QModelIndex cell =
        model_->index(found->row - TResultTable::FirstMailRow, found->column - 1);
    grid_->setCurrentIndex(cell);
    grid_->scrollTo(cell);
}

void TFormConvert::keyPressEvent(QKeyEvent* event) {
    // Esc in the find bar closes the bar, not the window.
    if (event->key() == Qt::Key_Escape && findBar_->isVisible() &&
        findBar_->isAncestorOf(focusWidget())) {
        findBar_->hide();
        grid_->setFocus();
        return;
    }
    TDialogForm::keyPressEvent(event);
}

bool TFormConvert::HasUnsavedEdits() const {
    return model_->EditedSinceSave();
}

bool TFormConvert::ConfirmClose() {
    grid_->CommitEdit();
    if (autoParam_ || !HasUnsavedEdits() || TProgramEnd::Requested()) {
        return true;
    }
    switch (TModalService::Current().Message(this, U("表は変更されています。保存しますか？"),
                                             TMsgKind::Confirmation, TMsgButtons::SaveDiscardCancel,
                                             THelpTopic::ConvertResult)) {
        case TModalResult::Yes:
            BtnSaveClick();
            // A cancelled or failed save keeps the window open.
            return !HasUnsavedEdits();
        case TModalResult::No:
            return true;
        default:
            return false;
    }
}

void TFormConvert::BtnCloseClick() {
    if (converting_) {
        stopRequested_ = true;
        worker_->RequestStop();
        return;
    }
    close();
}

void TFormConvert::reject() {
    BtnCloseClick();  // Esc presses the close button
}

void TFormConvert::closeEvent(QCloseEvent* event) {
    if (converting_) {
        // Closing the window stops the conversion, then closes it.
        closeWhenStopped_ = true;
        BtnCloseClick();
        event->ignore();
        return;
    }
    if (!ConfirmClose()) {
        event->ignore();
        return;
    }
    event->accept();
    done(QDialog::Rejected);
}

void TFormConvert::done(int result) {
    if (converting_) {
        return;
    }
    grid_->CommitEdit();
    StoreGeometry();
    TDialogForm::done(result);
}

bool TFormConvert::ConfirmBackupFailure(const std::string& message) {
    return TModalService::Current().Message(this, TQtText::FromSjis(message), TMsgKind::Error,
                                            TMsgButtons::YesNo, 0) != TModalResult::No;
}

void TFormConvert::ReportSaveFailure(const std::string& message) {
    TModalService::Current().Message(
        this, WithPath(TQtText::FromSjis(message), TQtText::FromSjis(saveTarget_)), TMsgKind::Error,
        TMsgButtons::Ok, 0);
}

// A save stops only when the program ends: the window's stop button ends
// the conversion, never a save under way.
TCsvOptions TFormConvert::SaveOptions() const {
    TCsvOptions options;
    options.sheetName = sheetName_;
    options.stop = TProgramEnd::Token();
    return options;
}

// A cell the save changed (cut to Excel's limit, a character with no
// Unicode form) is told as the conversion's warnings are.
void TFormConvert::SaveWarning(const std::string& message) {
    ShowWarning(message, ++saveWarnings_);
}

void TFormConvert::ShowStatus(const std::string& message) {
    StatusBar()->showMessage(TQtText::FromSjis(message));
}

void TFormConvert::SetBusy(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}
