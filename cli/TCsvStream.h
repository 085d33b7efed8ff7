#pragma once
// Writes a result table as CSV text to an open stream (standard output), in
// the same bytes TCsvFile writes to a file: the title line unless appending,
// Shift_JIS or UTF-8 with an optional byte-order mark.

#include <cstdio>

#include "convert/TCsvFile.h"
#include "convert/TResultTable.h"

class TCsvStream {
  public:
    // False when the stream refused the text.
    static bool Write(const TResultTable& table, std::FILE* stream, int saveType,
                      TCsvOptions options);
};
