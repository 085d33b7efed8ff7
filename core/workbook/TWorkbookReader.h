#pragma once
// Reads back the cells of a workbook's first sheet (zip with libzip, XML
// with libxml2's streaming reader), for appending rows to it: the new
// workbook then holds the old rows and the new ones.
//
// Only a workbook that a sheet of text cells can carry over unchanged is
// read: one sheet of values (text, numbers in the general or text format,
// truth values). Anything that rewriting would lose or change (a second
// sheet, formulas, merged cells, formatted numbers or dates, drawings,
// tables, comments, links, macros, conditional formats, validations) is
// refused with a Japanese message (TKestrifyError) before a row is kept.

#include <functional>
#include <string>
#include <vector>

class TWorkbookReader {
  public:
    using TRowHandler = std::function<void(std::vector<std::string>& utf8Cells)>;

    // Reads the workbook in `fd` (kept open; read from offset 0 by its own
    // descriptor) and hands over its first sheet's rows in order, one call
    // each (empty rows between included); cells are UTF-8. Throws on a
    // damaged file or one that is refused.
    static void ReadFirstSheet(int fd, const TRowHandler& row);
};
