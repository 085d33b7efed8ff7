#pragma once
// The main window: owns the current project (mail type and location, the
// parameter grid, the CSV save options and the project file name), offers
// every command on it, starts conversions and runs the automatic run that
// the command line asks for.

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "convert/TConversionJobHost.h"
#include "gui/base/TModalService.h"
#include "imap/TImapAccess.h"
#include "params/TOrderedParamString.h"
#include "settings/TAutoExexParam.h"
#include "settings/TCSVSaveParam.h"
#include "settings/TParamFormConvert.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class TAppIni;
class TCSVConverter;
struct TConvertReport;
class TFormParamEdit;
class TGridConvertParam;
class TOnlyNewRun;
class TStoreKind;
class THistoryComboBox;

class TFormMain : public QMainWindow, private TConversionJobHost {
    Q_OBJECT
  public:
    // `appIni`: the program's settings, which outlive the window.
    // `arguments`: the command line without the program name.
    explicit TFormMain(TAppIni& appIni, const QStringList& arguments = {},
                       QWidget* parent = nullptr);
    ~TFormMain() override;

    // What the result window handed back when it closed.
    struct TConvertResult {
        TCSVSaveParam saveParam;
        // For an automatic run: the exit status its end gives.
        int runStatus = 0;
    };

    // The process exit status: 0 unless an automatic run failed (the
    // headless command's numbers: 1 mails failed, 2 project or store
    // unusable, 3 CSV not written, 4 memory ran out).
    int ExitStatus() const { return exitStatus_; }
    // The exit status of an automatic run that ended so.
    static int RunStatus(const TConvertReport& report);
    bool HasPendingAutoRun() const { return autoRun_ != nullptr; }

    const QString& ProjectPath() const { return projectPath_; }
    // The project differs from what was last opened, saved or created new:
    // the title starts with "*" and closing or replacing it asks first.
    bool IsModified() const { return modified_; }
    const TCSVSaveParam& GetCSVSaveParam() const { return csvSaveParam_; }
    void SetCSVSaveParam(const TCSVSaveParam& v) { csvSaveParam_ = v; }
    TGridConvertParam* Grid() const { return gridParam_; }
    QComboBox* MailTypeList() const { return comboBoxMailType_; }
    THistoryComboBox* LocationBox() const { return comboBoxDir_; }
    QMenu* FileMenu() const { return menuFile_; }

    // Throw TKestrifyError on failure.
    void OpenProject(const QString& path);
    void SaveProject(const QString& path);
    // Files dropped on the window, in the order given.
    void DropPaths(const QStringList& paths);
    // The title rule: a new path becomes the project's, an equal empty one
    // gives the untitled title, an equal non-empty one changes nothing.
    void SetTitleFromPath(const QString& path);
    // The items after the fixed ones, as the File menu shows them on opening.
    void RebuildRecentItems();

    void ActionCreateNewParamExecute();
    void ActionOpenSettingExecute();
    void ActionSaveOverwriteExecute();
    void ActionSaveSettingExecute();
    void ActionConvertExecute();
    void ActionSelectDirectoryExecute();
    void ActionInsertParamExecute();
    void ActionInsertSpaceParamExecute();
    void ActionEditParamExecute();
    void ActionRemoveParamExecute();
    void ActionUpParamExecute();
    void ActionDownParamExecute();
    void ActionParamSortEditExecute();
    void ActionParamSortExecute();
    void ActionSettingCommonExecute();
    void ActionSettingProjectExecute();
    void ActionSettingClearExecute();
    void ActionSettingAutoExcecExecute();
    void ActionHelpShowHejpExecute();
    void ActionHelpShowVersionExecute();

  signals:
    // The window closed for good: the program ends.
    void Closed();

  protected:
    // Shows the result window for the converter and returns what it handed
    // back; tests replace it.
    virtual TConvertResult RunResultWindow(std::unique_ptr<TCSVConverter> converter,
                                           const TCSVSaveParam& saveParam,
                                           const TAutoExexParam* autoRun);

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    QAction* MakeAction(const char* name, const char* caption, const char* hint);
    void CreateActions();
    void CreateMenus();
    void CreateControls();
    void ConnectActions();
    QPushButton* ActionButton(QAction* action, const char* name);

    void MailTypeChanged(int index);
    void ApplyLocationHint(int index);
    void ChooseFolder(const QString& caption);
    void ChooseStoreFolder(int type, const QString& caption);
    void ChooseThunderbirdFolder();
    // An open-file dialog for a store file of `kind`.
    void ChooseStoreFile(const TStoreKind& kind);
    // The connection dialog: its URL becomes the location, its CA file the project's.
    void ChooseImapFolder();
    void ChooseFile(const QString& filter, const QString& startFile,
                    const std::optional<QString>& startFolder);
    void OpenRecent(int index);
    QStringList RecentList() const;
    void AddRecent(const QString& path);
    void RemoveRecent(const QString& path);
    void SettingsUnusable(const std::exception& e);
    void SaveProjectAs();
    bool AddAllowed();
    void AppendParam(TOrderedParamString param);
    // Lets the parameter editor's preview read the current store with the
    // project's parameters; `position` is the edited row's index, -1 for Add.
    void SetPreviewSource(TFormParamEdit& form, int position);
    void ShowGridMenu(const QPoint& pos);

    // What the project file would hold, to tell whether it changed.
    std::string ProjectState() const;
    void MarkSaved();
    void UpdateModified();
    void ShowTitle(const QString& title);
    // Asks whether to save a modified project before it is closed or
    // replaced; false when the user cancels (or the save did not happen).
    bool ConfirmDiscard();
    // Opens a project picked by the user, after asking about changes.
    void OpenChosenProject(const QString& path);

    // The automatic run's project; a missing one is named as such.
    void OpenAutoRunProject();
    void FirstShow();
    void FirstIdle();
    // The location as the reader needs it: a relative path counts from the
    // project file's folder.
    std::string ReaderLocation() const;
    // A relative path counted from the project file's folder; an IMAP URL as it is.
    QString FromProjectFolder(const QString& location) const;
    // The password and CA file of the IMAP store at `sjisLocation`: asked
    // for when no keyring has it, or from KESTRIFY_IMAP_PASSWORD in an
    // automatic run (which throws when neither has it). Nothing when the
    // user cancelled.
    std::optional<TImapAccess> ImapAccess(const std::string& sjisLocation);
    // The project's CSV file (SAVEFILENAME from the project's folder), empty
    // when it names none.
    std::string ProjectOutput() const;
    // The conversion job's host: its refusals and failures in error boxes,
    // the store opened aside, the rows in the result window.
    void Refused(const TJobRefusal& refusal) override;
    void Failed(const std::exception& error) override;
    void RunAside(const std::function<void()>& work) override;
    int Stopped() override;
    // The IMAP store's password from the keyring or the user; throws
    // TNoPassword when the user gave none.
    TImapAccess StoreAccess() override;
    struct TNoPassword {};
    int Convert(std::unique_ptr<TCSVConverter> converter, TOnlyNewRun* onlyNew) override;
    TModalResult Message(const QString& text, TMsgKind kind, TMsgButtons buttons,
                         int helpTopic = 0);
    // Runs a command and shows a failure's message in an error box.
    template <class Command>
    void Guarded(Command command);

    TAppIni& appIni_;
    QString projectPath_;
    TCSVSaveParam csvSaveParam_;
    bool htmlText_ = true;  // the project's HTMLTEXT; a new project has it on
    QString imapCaFile_;    // the project's IMAPCAFILE as written there
    // The result window's geometry of the project: read and written with
    // it, lent to the result window and the project settings dialog.
    TParamFormConvert convertForm_;
    std::unique_ptr<TAutoExexParam> autoRun_;
    // The only-new run of the conversion under way, for the result window.
    TOnlyNewRun* onlyNew_ = nullptr;
    std::string onlyNewOutput_;
    // The conversion's server is being reached (StoreAccess came first): the
    // wait shows a progress that can stop it.
    bool imapOpening_ = false;
    // The conversion's one stop, passed down to its job (the opening's
    // thread and a server's connection).
    std::stop_source runStop_;
    // One file request serves Choose and Open; it keeps the starting folder
    // and name of its previous use.
    TFileRequest openRequest_;
    int exitStatus_ = 0;
    bool firstShow_ = true;
    QString title_;
    std::string savedState_;
    bool modified_ = false;
    // Started for an automatic run: nobody is asked about changes.
    bool automatic_ = false;
    bool settingsWarned_ = false;

    QComboBox* comboBoxMailType_ = nullptr;
    THistoryComboBox* comboBoxDir_ = nullptr;
    TGridConvertParam* gridParam_ = nullptr;
    QMenu* menuFile_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    int fixedFileItems_ = 0;

    QAction* actionCreateNewParam_ = nullptr;
    QAction* actionOpenSetting_ = nullptr;
    QAction* actionSaveOverwrite_ = nullptr;
    QAction* actionSaveSetting_ = nullptr;
    QAction* actionConvert_ = nullptr;
    QAction* actionClose_ = nullptr;
    QAction* actionSelectDirectory_ = nullptr;
    QAction* actionInsertParam_ = nullptr;
    QAction* actionEditParam_ = nullptr;
    QAction* actionRemoveParam_ = nullptr;
    QAction* actionInsertSpaceParam_ = nullptr;
    QAction* actionUpParam_ = nullptr;
    QAction* actionDownParam_ = nullptr;
    QAction* actionParamSortEdit_ = nullptr;
    QAction* actionParamSort_ = nullptr;
    QAction* actionSettingCommon_ = nullptr;
    QAction* actionSettingProject_ = nullptr;
    QAction* actionSettingClear_ = nullptr;
    QAction* actionSettingAutoExcec_ = nullptr;
    QAction* actionHelpShowHejp_ = nullptr;
    QAction* actionHelpShowVersion_ = nullptr;

    QPushButton* btnSelectDirectory_ = nullptr;
};
