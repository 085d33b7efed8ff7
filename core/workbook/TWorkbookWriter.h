#pragma once
// Writes one sheet of text cells as an Excel workbook (.xlsx) with
// libxlsxwriter in its constant-memory mode: each row goes to disk as it is
// added, so memory stays the same whatever the number of rows. The title row
// is bold and frozen, every cell is stored as text (number format "@": phone
// numbers keep their leading zeros, nothing becomes a date or a formula),
// cells with line breaks wrap, and column widths follow the contents.
//
// The workbook is made in an unnamed temporary file in $TMPDIR (or /tmp);
// CopyTo hands its bytes to whatever writes the real output, so the one safe
// writer of the program also writes workbooks. Failures throw
// TKestrifyError with the Japanese message.

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

class TWorkbookWriter {
  public:
    // `sheetName` (UTF-8) is made acceptable to Excel first.
    explicit TWorkbookWriter(std::string_view sheetName);
    ~TWorkbookWriter();
    TWorkbookWriter(const TWorkbookWriter&) = delete;
    TWorkbookWriter& operator=(const TWorkbookWriter&) = delete;

    // Adds the next row (UTF-8 cells; empty cells stay blank). `cells` may be
    // changed: a cell beyond Excel's limit is cut, and `cut` is told its
    // column. Throws when the sheet would exceed Excel's rows or columns, or
    // the row TWorkbookText::MaxRowBytes.
    void AddRow(std::span<std::string> cells, bool title,
                const std::function<void(std::size_t column)>& cut = {});
    long long RowCount() const { return rows_; }

    // Finishes the workbook; then its bytes go to `write` in blocks. False
    // when `write` refused a block.
    void Finish();
    bool CopyTo(const std::function<bool(std::string_view)>& write) const;

  private:
    void SetColumnWidths();

    int fd_ = -1;         // the workbook's file
    std::string path_;    // its name for libxlsxwriter
    bool named_ = false;  // a real name, to be removed
    lxw_workbook* workbook_ = nullptr;
    lxw_worksheet* sheet_ = nullptr;
    lxw_format* text_ = nullptr;
    lxw_format* wrapped_ = nullptr;
    lxw_format* title_ = nullptr;
    std::string tmpdir_;
    long long rows_ = 0;
    std::vector<int> widths_;
};
