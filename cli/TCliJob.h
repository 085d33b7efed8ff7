#pragma once
// One run of the headless command: open the project, apply the command
// line's overrides, run the conversion job (its checks, the store, the
// converter) and save the CSV at once, the way an automatic run saves it.
// Reports on the terminal and returns the exit status.

#include <optional>
#include <stop_token>
#include <string>

#include "TCliOptions.h"
#include "TTerminal.h"
#include "TTerminalHost.h"
#include "convert/TConversionJob.h"
#include "convert/TCsvFile.h"
#include "convert/TCsvSpool.h"
#include "convert/TExitStatus.h"
#include "convert/TResultTable.h"
#include "imap/TImapAccess.h"
#include "params/TParamCheck.h"
#include "settings/TCSVSaveParam.h"
#include "settings/TSettingFile.h"
#include "state/TOnlyNewRun.h"

class TCliJob : private TConversionJobHost {
  public:
    TCliJob(const TCliOptions& options, TTerminal& terminal)
        : options_(options),
          terminal_(terminal),
          host_(terminal, {options.quiet, options.stopOnError, options.force}) {}

    // A TExitStatus code, or TExitStatus::AfterSignal when stopped.
    int Run();

  private:
    // Where the CSV goes: a Shift_JIS file name, or none for standard output.
    using TTarget = std::optional<std::string>;

    bool OpenProject(TSettingFile& project);
    void ApplyOverrides(TSettingFile& project, std::string& location, TCSVSaveParam& save) const;
    TTarget Target(const TCSVSaveParam& save) const;
    TConversionRequest Request(TSettingFile& project);

    // The job's host: the terminal's words for its refusals and failures.
    void Refused(const TJobRefusal& refusal) override;
    void Failed(const std::exception& error) override;
    void RegexUnusable(const TParamCheck::TRegexError& error,
                       const TOrderedParamString& param) override;
    int Stopped() override;
    TImapAccess StoreAccess() override;
    // Converts into a spool and saves at once.
    int Convert(std::unique_ptr<TCSVConverter> converter, TOnlyNewRun* onlyNew) override;

    // The location as the refusals name it ("" when empty).
    std::string ShownLocation() const;
    // The words of a store that is not of its kind, with advice.
    std::string NotOfKind(const TJobRefusal& refusal) const;
    // Write's status, or 128 + signal when a stop came while saving.
    // `titles` gives the title row, `rows` the mail rows.
    // `file`: the CSV file made before the conversion (rows streamed into
    // it), or none.
    // `onlyNew`: the record of converted mails, committed once the CSV is
    // saved and dropped when it is not.
    int Save(const TResultTable& titles, TCsvSpool& rows, std::optional<TCsvFile>& file,
             const TCSVSaveParam& save, TOnlyNewRun* onlyNew);
    // --forget: clears the record of the target's converted mails.
    int Forget();
    TExitStatus::TCode Write(const TResultTable& titles, TCsvSpool& rows,
                             std::optional<TCsvFile>& file, const TCSVSaveParam& save);
    TCsvOptions CsvOptions() const;
    // Whether the output is an Excel workbook (--format, else the name).
    bool IsWorkbook(const TTarget& target) const;
    // What a successful run did, on standard error.
    void Summary(int mails, int rows, int failed, const TOnlyNewRun* onlyNew) const;

    // A path from the project: a relative one counts from the project's
    // folder, so a project can be moved together with its mails.
    std::string FromProjectFolder(const std::string& sjisPath) const;
    // The password and CA file an IMAP store is opened with.
    TImapAccess ImapAccess(const TSettingFile& project) const;
    // A path from the command line as Shift_JIS; throws TUsageError when it
    // holds characters Shift_JIS cannot.
    static std::string SjisPath(const std::string& utf8Path);
    int Threads() const;

    const TCliOptions& options_;
    TTerminal& terminal_;
    TTerminalHost host_;
    std::string projectPath_;  // Shift_JIS
    // The run's project after the command line's overrides, while it runs.
    const TSettingFile* project_ = nullptr;
    std::string location_;  // Shift_JIS, as the reader gets it
    TCSVSaveParam save_;
    TTarget target_;
    bool backupMade_ = false;
    // The run's one stop, asked by a signal (TStopSignal::TRelay) and
    // passed down to the job, the loop and the save.
    std::stop_source stop_;
    int skippedEntries_ = 0;  // entries of a folder store that were no mail files
};
