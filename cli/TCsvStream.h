#pragma once
// Writes a result table as CSV text to an open stream (standard output), in
// the same bytes TCsvFile writes to a file: the title line unless appending,
// Shift_JIS or UTF-8 with an optional byte-order mark.

#include <cstdio>
#include <stop_token>

#include "convert/TCsvFile.h"
#include "convert/TResultTable.h"
#include "convert/TWorkbookFile.h"

class TCsvStream {
  public:
    // False when the stream refused the text or `options.stop` was asked.
    // With `mailRows`, the table gives only the title row and the mail rows
    // come from the spool.
    static bool Write(const TResultTable& table, std::FILE* stream, int saveType,
                      TCsvOptions options, TCsvSpool* mailRows = nullptr);
    // A whole workbook to the stream (appending has no meaning there).
    static bool WriteWorkbook(TWorkbookFile& workbook, std::FILE* stream,
                              const std::stop_token& stop);
};
