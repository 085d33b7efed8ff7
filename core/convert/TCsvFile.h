#pragma once
// Saving a result table as a CSV file: writing (overwrite or append), the
// ".bak" copy of the old file, and the save at the end of an automatic run.
//
// Files are written through TOutputFile: a failed or stopped save leaves the
// old file as it was (an append is cut back), devices and FIFOs are written
// straight through and never backed up. Rows appended to a file follow its
// encoding and start on a line of their own. Text is written in large blocks.

#include <cerrno>
#include <memory>
#include <stop_token>
#include <string>

#include "base/TOutputFile.h"

#include "convert/TCsvSaveHost.h"
#include "convert/TCsvSpool.h"
#include "convert/TResultTable.h"
#include "convert/TWorkbookFile.h"
#include "settings/TAutoExexParam.h"

struct TCsvOptions {
    // Shift_JIS (the default) or the same text converted to UTF-8.
    bool utf8 = false;
    // With utf8: a byte-order mark at the start of a new or empty file.
    bool byteOrderMark = false;
    // Formula-like cells get a leading "'" (for CSV made from untrusted mail).
    bool safeCells = false;
    // An Excel workbook instead of CSV text: when the name ends in ".xlsx"
    // (any case), always, or never.
    enum class TFormat { ByName, Workbook, Csv };
    TFormat format = TFormat::ByName;
    // A workbook's sheet name (Shift_JIS): the project's file name.
    std::string sheetName = {};
    // The run's stop: a save it reaches leaves the file as it was and
    // reports no failure (Stopped()).
    std::stop_token stop = {};
};

class TCsvFile {
  public:
    enum SaveTypes { Overwrite = 0, Append = 1 };

    // With `mailRows`, the table gives only the title row and the mail rows
    // come from the spool.
    TCsvFile(const TResultTable& table, TCsvSaveHost& host, TCsvOptions options = {},
             TCsvSpool* mailRows = nullptr)
        : table_(table), host_(host), options_(options), mailRows_(mailRows) {}

    // Writes the table to `fileName` (Shift_JIS path): save type 0 writes
    // the title row and every mail row in place of the file, save type 1
    // appends the mail rows only (with the title row when the file is new
    // or empty). Any other save type writes nothing. False
    // when nothing (or, for the file, nothing new) was written.
    bool WriteCsvFile(const std::string& fileName, int saveType);
    // errno of the last WriteCsvFile's failure (EINTR when stopped), 0 when none.
    int LastError() const { return lastError_; }
    // What to tell the user about the last failure (Shift_JIS): a workbook's
    // refusal, or the save failure with the system's reason.
    std::string LastFailure() const;
    // Whether `fileName` is written as a workbook with these options.
    bool IsWorkbook(const std::string& fileName) const;
    bool Stopped() const { return lastError_ == EINTR; }
    // Copies an existing file to its ".bak" name. True to go on saving; on
    // failure the host is asked.
    bool BackupCsvFile(const std::string& fileName);
    // Whether the last BackupCsvFile (or SaveAutomatic) made a copy.
    bool BackupMade() const { return backupMade_; }
    // The save at the end of an automatic run: backup if asked for, then
    // write; a write failure is reported to the host. True when written.
    bool SaveAutomatic(const TAutoExexParam& param);

    // Before the mail rows exist: when `fileName` will be replaced by
    // renaming a temporary file (an overwrite of a missing or plain file of
    // this user), opens that temporary file now, writes the title row and
    // lets the spool write the rows into it as they come. WriteCsvFile of
    // the same name then only finishes it. False (nothing opened) for any
    // other target: the rows stay in the spool until the save.
    bool StreamRowsTo(const std::string& fileName, int saveType);

    // "data.csv" -> "data.bak"; a name without extension gets ".bak" added.
    // (A workbook "data.xlsx" too: "data.bak".)
    static std::string BackupFileName(const std::string& fileName);
    // The name an interactive save writes: ".csv" added unless the name
    // already ends in ".csv" or ".xlsx" (a workbook) in any case.
    static std::string WithCsvExtension(const std::string& fileName);

  private:
    // The table's rows from `firstRow` on, then the spool's.
    bool WriteRows(TOutputFile& sink, int firstRow, bool utf8) const;
    bool WriteTableRows(TOutputFile& sink, int firstRow, bool utf8) const;
    bool FinishStreamed(const std::string& fileName, int saveType);

    const TResultTable& table_;
    TCsvSaveHost& host_;
    TCsvOptions options_;
    TCsvSpool* mailRows_;
    int lastError_ = 0;
    std::string lastFailure_;  // a workbook's refusal
    bool backupMade_ = false;
    std::unique_ptr<TOutputFile> streamed_;  // StreamRowsTo's file until it is finished
    std::string streamedName_;
};
