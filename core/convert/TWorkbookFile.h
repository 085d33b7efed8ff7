#pragma once
// Saving a result table as an Excel workbook (.xlsx): the title row and the
// mail rows on one sheet (TWorkbookWriter), written through TOutputFile like
// a CSV file, so the same rules hold (a temporary file renamed over the old
// file where allowed, else an in-place rewrite under a lock; devices and
// FIFOs written straight through; nothing reaches the target unless the
// whole workbook was made).
//
// A workbook cannot grow at its end as a CSV file does: appending reads the
// old workbook's rows back (TWorkbookReader) and writes a new workbook with
// the old rows and then the new ones. A workbook whose first sheet is not
// plain cells is refused, so the old rows are never lost.

#include <stop_token>
#include <string>

#include "convert/TCsvSaveHost.h"
#include "convert/TCsvSpool.h"
#include "convert/TResultTable.h"

class TOutputFile;
class TWorkbookWriter;

class TWorkbookFile {
  public:
    // `sheetName`: Shift_JIS, usually the project's file name. With
    // `mailRows` (written without formula guards), the table gives only the
    // title row and the mail rows come from the spool. A `stop` leaves the
    // file as it was (Error() EINTR).
    TWorkbookFile(const TResultTable& table, TCsvSaveHost& host, std::string sheetName,
                  TCsvSpool* mailRows = nullptr, std::stop_token stop = {})
        : table_(table),
          host_(host),
          sheetName_(std::move(sheetName)),
          mailRows_(mailRows),
          stop_(std::move(stop)) {}

    // Writes the workbook `fileName` (Shift_JIS path): save type 0 with the
    // title row and the mail rows, save type 1 with the old workbook's rows
    // first (a missing or empty file gets the title row). False when
    // nothing was written: then Error() (errno, EINTR when stopped) or
    // Failure() says why.
    bool Write(const std::string& fileName, int saveType);
    // The same to an open stream (standard output): always a whole new
    // workbook. `write` takes the bytes.
    bool WriteTo(const std::function<bool(std::string_view)>& write);

    int Error() const { return error_; }
    // The Shift_JIS message of a refusal (an Excel limit, an old workbook
    // that cannot be appended to); empty when Error() tells it.
    const std::string& Failure() const { return failure_; }

    // Whether `fileName` ends in ".xlsx" (any case).
    static bool IsWorkbookName(const std::string& fileName);

  private:
    // Adds the old workbook's rows; false when it has none.
    bool AddOldRows(TOutputFile& file, TWorkbookWriter& book);
    void AddNewRows(TWorkbookWriter& book, bool withTitle);
    void AddMailRow(TWorkbookWriter& book, std::vector<std::string>& sjisCells,
                    const std::string& mail);
    void CheckStop();
    std::string ColumnTitle(std::size_t index) const;

    const TResultTable& table_;
    TCsvSaveHost& host_;
    std::string sheetName_;
    TCsvSpool* mailRows_;
    std::stop_token stop_;
    int error_ = 0;
    std::string failure_;
    std::vector<std::string> utf8_;  // the row being added
    long long checked_ = 0;
};
