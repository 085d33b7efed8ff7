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
// So is a workbook beyond the bounds of what is read back (Excel's rows,
// columns and characters of a cell; 64 MiB of text in a row, 20 million
// filled cells, 1 GiB of text, 512 MiB of shared strings, 4 GiB in one
// unpacked part), or one with a document type (DTD): the cells handed over
// are never more than the new workbook can take.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TWorkbookReader {
  public:
    using TRowHandler = std::function<void(std::vector<std::string>& utf8Cells)>;
    // Called every megabyte or so of unpacked XML; may throw to stop.
    using TPoll = std::function<void()>;
    // What is read back at most, besides Excel's own limits (TWorkbookText):
    // room for the workbooks this program writes, and a bound on the memory,
    // time and disk that a hostile one (a few megabytes of zip that unpack to
    // gigabytes of cells) can cost.
    struct TLimits {
        long long cells = 20'000'000;                          // filled cells
        std::uint64_t textBytes = std::uint64_t{1} << 30;      // text of all cells
        std::uint64_t sharedBytes = std::uint64_t{512} << 20;  // shared strings held
        std::uint64_t partBytes = std::uint64_t{4} << 30;      // one unpacked XML part
    };

    // Reads the workbook in `fd` (kept open; read from offset 0 by its own
    // descriptor) and hands over its first sheet's rows in order, one call
    // each (empty rows between included); cells are UTF-8. Throws on a
    // damaged file or one that is refused.
    static void ReadFirstSheet(int fd, const TRowHandler& row, const TPoll& poll = {});
    // The same within other limits (for tests).
    static void ReadFirstSheet(int fd, const TRowHandler& row, const TPoll& poll,
                               const TLimits& limits);
};
