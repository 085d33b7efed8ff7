#pragma once
// The result window: runs the conversion once it is on screen, shows the
// rows as they come in an editable grid, saves them as CSV, and remembers
// its position, size and column widths.
//
// Use (the main window):
//     TFormConvert form(this, std::move(converter), geometry);  // converter: owned
//     form.SetSaveParam(project.GetCSVSaveParam());
//     if (automatic) form.SetAutoExexParam(run);      // saves and closes by itself
//     form.exec();
//     project.SetCSVSaveParam(form.GetSaveParam());   // MAKEBACKUP may have changed
//     const TConvertReport& report = form.Report();
//
// The conversion runs on worker threads; the window stays responsive and
// takes the rows in mail order. The converter (and with it the mail store)
// is destroyed as soon as the conversion ends. The reader's header warnings
// are shown in the status bar: the window sets the converter's mail options.

#include <QElapsedTimer>
#include <functional>
#include <memory>
#include <optional>

#include "convert/TCSVConverter.h"
#include "convert/TConvertLoop.h"
#include "convert/TCsvFile.h"
#include "convert/TCsvSaveHost.h"
#include "convert/TOutputTargetCheck.h"
#include "gui/base/TDialogForm.h"
#include "settings/TAutoExexParam.h"
#include "settings/TCSVSaveParam.h"
#include "settings/TParamFormConvert.h"

class QKeyEvent;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TCsvFile;
class TCsvPrewriter;
class TConvertWorker;
class TItemGrid;
class TResultTable;
class TResultTableModel;

// How the conversion and an automatic run's save ended; read after exec().
// The headless command's exit statuses follow from it: 2 when the loop
// failed, 3 when the automatic save failed, otherwise 1 when failedMails > 0
// and 0; a run stopped by the user saved nothing.
struct TConvertReport {
    bool ended = false;  // the loop has run to its end
    TConvertOutcome::TEnd end = TConvertOutcome::TEnd::Finished;
    int count = 0;                // mails in the store
    int converted = 0;            // mails with a row of values
    int failedMails = 0;          // mails that failed (skipped, or the one that ended the loop)
    bool automaticSaved = false;  // an automatic run wrote its CSV
    bool outOfMemory = false;     // memory ran out (status 4)
};

class TOnlyNewRun;

class TFormConvert : public TDialogForm, private TCsvSaveHost {
    Q_OBJECT
  public:
    // `converter` is owned. `geometry`, the project's, is restored on show as
    // its two flags say and stored back into it on every close.
    TFormConvert(QWidget* parent, std::unique_ptr<TCSVConverter> converter,
                 TParamFormConvert& geometry);
    ~TFormConvert() override;
    // Stops the conversion and removes its temporary files without touching
    // the window, for a window that can no longer be closed safely.
    void DropWork();

    // A copy of the project's CSV options; the save dialog starts with its
    // file name. Read back after closing: a save updates MakeBackup.
    void SetSaveParam(const TCSVSaveParam& param);
    // The project's folder: a relative SAVEFILENAME counts from there, as
    // for the command and the automatic run; the save dialog starts there.
    void SetProjectFolder(const QString& folder);
    const TCSVSaveParam& GetSaveParam() const { return saveParam_; }
    // The run's inputs, which the save dialog refuses to overwrite.
    void SetOutputCheck(const TOutputTargetCheck& check) { outputCheck_ = check; }
    // Makes this an automatic run.
    void SetAutoExexParam(const TAutoExexParam& param) { autoParam_ = param; }
    // The name a saved workbook's sheet gets (Shift_JIS): the project's.
    void SetSheetName(const std::string& sjisName) { sheetName_ = sjisName; }
    // A run that converts only the mails not yet converted into `sjisOutput`:
    // a save to that file appends and records them (the run outlives the
    // window).
    void SetOnlyNew(TOnlyNewRun* run, const std::string& sjisOutput) {
        onlyNew_ = run;
        onlyNewOutput_ = sjisOutput;
    }
    // Threads that read and extract (before the window is shown); the
    // default is one per core.
    void SetThreads(int threads) { threads_ = threads; }
    // One per core: also the threads a store is opened on for the window.
    static int DefaultThreads();

    const TConvertReport& Report() const { return report_; }
    bool IsConverting() const { return converting_; }
    // The table holds edits that no save has written yet.
    bool HasUnsavedEdits() const;
    TItemGrid* Grid() const { return grid_; }
    const TResultTable& Table() const;

    void BtnSaveClick();
    void BtnCloseClick();

  signals:
    // The loop has ended and the table is complete (before an automatic
    // run saves).
    void ConversionEnded();

  protected:
    void setVisible(bool visible) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    void done(int result) override;

  private:
    void RestoreGeometry();
    void StoreGeometry();
    void StartConversion();
    void Poll();
    void Started(int count, bool multiLine);
    void ShowProgress(int position);
    void ShowWarning(const std::string& sjisMessage, int warnings);
    void Ask(const TConvertError& error);
    void Finished(const TConvertOutcome& outcome);
    void SaveAutomatic();
    // Whether `sjisName` is the file an only-new run records its mails for.
    bool IsOnlyNewTarget(const std::string& sjisName) const;
    // `save` between staging and committing the record of an only-new run.
    bool SaveRecorded(const std::function<bool()>& save);
    // Runs the save on another thread with the file `early` finishes, or a
    // file of the table; `error` gets the text of an exception.
    bool SaveAside(const std::function<bool(TCsvFile&)>& save, std::string& error,
                   TCsvPrewriter* early = nullptr);
    void FitNumberColumn(int count);
    // The find bar (Ctrl+F): the next cell holding its text after the
    // current one, `forward` or backward.
    QWidget* MakeFindBar();
    void ShowFindBar();
    void FindNext(bool forward);
    // Asks whether to save unsaved edits before the window closes; false
    // when the window is to stay open.
    bool ConfirmClose();

    // TCsvSaveHost
    bool ConfirmBackupFailure(const std::string& message) override;
    void ReportSaveFailure(const std::string& message) override;
    void ShowStatus(const std::string& message) override;
    void SetBusy(bool busy) override;
    void SaveWarning(const std::string& message) override;
    // How this window's saves write (the program's end stops them).
    TCsvOptions SaveOptions() const;

    std::unique_ptr<TCSVConverter> converter_;
    TParamFormConvert& geometry_;
    TCSVSaveParam saveParam_;
    std::optional<TAutoExexParam> autoParam_;
    TOnlyNewRun* onlyNew_ = nullptr;
    std::string onlyNewOutput_;
    std::string sheetName_;
    int saveWarnings_ = 0;
    std::optional<TOutputTargetCheck> outputCheck_;
    int threads_;
    QString saveFileName_;  // where the save dialog starts
    QString projectFolder_;
    std::string saveTarget_;  // the file a save writes, named when it fails
    TConvertReport report_;

    TResultTableModel* model_;
    TItemGrid* grid_;
    QProgressBar* progressBar_;
    QPushButton* btnSave_;
    QPushButton* btnClose_;
    QPushButton* btnHelp_;
    QLabel* warningLabel_;
    QWidget* findBar_ = nullptr;
    QLineEdit* findEdit_ = nullptr;
    QLabel* findStatus_ = nullptr;
    // The columns were sized to their first rows (once, without kept widths).
    bool columnsFitted_ = false;
    QTimer* pollTimer_;
    QElapsedTimer progressShown_;

    std::unique_ptr<TConvertWorker> worker_;
    // Takes a save's calls on any thread to the window's.
    std::unique_ptr<TCsvSaveHost> windowHost_;
    // An automatic run's file, written while the rows arrive.
    std::unique_ptr<TCsvPrewriter> prewriter_;
    bool shown_ = false;
    bool converting_ = false;
    bool stopRequested_ = false;
    bool closeWhenStopped_ = false;
    bool asking_ = false;
    int position_ = -1;
};
