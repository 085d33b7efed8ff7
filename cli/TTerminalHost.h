#pragma once
// The headless command's answers to the conversion loop and the CSV saving:
// the progress bar, one line per failed mail, and the stored answers that a
// person would give in the windows (go on after a failed mail unless
// --stop-on-error; give up the save when the backup fails unless --force).

#include <optional>
#include <string>

#include "TProgressBar.h"
#include "TTerminal.h"
#include "convert/TConvertHost.h"
#include "convert/TCsvSaveHost.h"

class TTerminalHost : public TConvertHost, public TCsvSaveHost {
  public:
    struct TAnswers {
        bool quiet = false;        // no progress bar, no warnings
        bool stopOnError = false;  // end the loop at the first failed mail
        bool force = false;        // save even when the backup cannot be made
    };

    TTerminalHost(TTerminal& terminal, TAnswers answers) : terminal_(terminal), answers_(answers) {}

    // The CSV file (UTF-8 name) that the save messages are about.
    void SetTarget(const std::string& utf8FileName) { target_ = utf8FileName; }

    void ConvertStarted(int count, bool multiLine) override;
    void MailConverted(int position, int count) override;
    bool ContinueAfterError(const TConvertError& error) override;

    bool ConfirmBackupFailure(const std::string& message) override;
    void ReportSaveFailure(const std::string& message) override;
    void SaveWarning(const std::string& message) override { Warning(message); }

    // A header-decoding warning from a reader thread (Shift_JIS).
    void Warning(const std::string& sjisMessage);
    // Removes the progress bar; the loop is over.
    void Finish();

    int FailedMails() const { return failedMails_; }
    bool BackupFailed() const { return backupFailed_; }

    // The first line of a Shift_JIS message (the question after it is for
    // a window, not for a log).
    static std::string FirstLine(const std::string& sjisMessage);

  private:
    bool ShowsProgress() const { return !answers_.quiet && terminal_.IsInteractive(); }

    TTerminal& terminal_;
    TAnswers answers_;
    std::string target_;
    std::optional<TProgressBar> progress_;
    int failedMails_ = 0;
    bool backupFailed_ = false;
};
