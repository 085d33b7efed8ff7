#pragma once
// What saving a CSV file needs from the window or command that saves.
// Messages arrive as Shift_JIS text.

#include <string>

class TCsvSaveHost {
  public:
    virtual ~TCsvSaveHost() = default;

    // The backup copy failed: error box with Yes and No; true unless No.
    virtual bool ConfirmBackupFailure(const std::string& message) = 0;
    // The file could not be written (error box, OK).
    virtual void ReportSaveFailure(const std::string& message) = 0;
    // Something the save changed in a cell (Shift_JIS), as a conversion
    // warning: a workbook cell cut to Excel's limit, a character with no
    // Unicode form.
    virtual void SaveWarning(const std::string& message) { (void)message; }
    // Status bar text.
    virtual void ShowStatus(const std::string& message) { (void)message; }
    // Busy cursor on and off around writing.
    virtual void SetBusy(bool busy) { (void)busy; }
};
