#pragma once
// One run of the headless command: open the project, apply the command
// line's overrides, make the Convert checks, convert every mail and save the
// CSV the way an automatic run saves it. Reports on the terminal and returns
// the exit status.

#include <optional>
#include <string>

#include "TCliOptions.h"
#include "TTerminal.h"
#include "TTerminalHost.h"
#include "convert/TCsvFile.h"
#include "convert/TCsvSpool.h"
#include "convert/TExitStatus.h"
#include "convert/TResultTable.h"
#include "imap/TImapAccess.h"
#include "settings/TCSVSaveParam.h"
#include "settings/TSettingFile.h"
#include "state/TOnlyNewRun.h"

class TCliJob {
  public:
    TCliJob(const TCliOptions& options, TTerminal& terminal)
        : options_(options), terminal_(terminal) {}

    // A TExitStatus code, or TExitStatus::AfterSignal when stopped.
    int Run();

  private:
    // Where the CSV goes: a Shift_JIS file name, or none for standard output.
    using TTarget = std::optional<std::string>;

    bool OpenProject(TSettingFile& project);
    void ApplyOverrides(TSettingFile& project, std::string& location, TCSVSaveParam& save) const;
    TTarget Target(const TCSVSaveParam& save) const;
    int Convert(TSettingFile& project, const std::string& location, const TCSVSaveParam& save,
                const TTarget& target);
    // The Convert checks, then whether a store file looks like its type.
    bool CheckStore(std::size_t paramCount, int mailType, const std::string& location);
    // Write's status, or 128 + signal when a stop came while saving.
    // `titles` gives the title row, `rows` the mail rows.
    // `file`: the CSV file made before the conversion (rows streamed into
    // it), or none.
    // `onlyNew`: the record of converted mails, committed once the CSV is
    // saved and dropped when it is not.
    int Save(const TResultTable& titles, TCsvSpool& rows, std::optional<TCsvFile>& file,
             const TCSVSaveParam& save, const TTarget& target, TTerminalHost& host,
             TOnlyNewRun* onlyNew);
    // --forget: clears the record of `target`'s converted mails.
    int Forget(const TTarget& target);
    // Opens the record of converted mails for `target` when the run
    // converts only new mail; false (said on the terminal) when it cannot.
    bool OpenOnlyNew(const TCSVSaveParam& save, const TTarget& target,
                     std::unique_ptr<TOnlyNewRun>& onlyNew);
    TExitStatus::TCode Write(const TResultTable& titles, TCsvSpool& rows,
                             std::optional<TCsvFile>& file, const TCSVSaveParam& save,
                             const TTarget& target, TTerminalHost& host);
    TCsvOptions CsvOptions() const;
    // Whether the output is an Excel workbook (--format, else the name).
    bool IsWorkbook(const TTarget& target) const;
    // What a successful run did, on standard error.
    void Summary(int mails, int rows, int failed, const TTarget& target,
                 const TOnlyNewRun* onlyNew) const;

    // A path from the project: a relative one counts from the project's
    // folder, so a project can be moved together with its mails.
    std::string FromProjectFolder(const std::string& sjisPath) const;
    // The password, CA file and stop request an IMAP store is opened with.
    TImapAccess ImapAccess(const TSettingFile& project) const;
    // A path from the command line as Shift_JIS; throws TUsageError when it
    // holds characters Shift_JIS cannot.
    static std::string SjisPath(const std::string& utf8Path);
    int Threads() const;

    const TCliOptions& options_;
    TTerminal& terminal_;
    std::string projectPath_;  // Shift_JIS
    bool backupMade_ = false;
};
