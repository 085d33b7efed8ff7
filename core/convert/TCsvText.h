#pragma once
// The CSV text of result rows. A cell is written as it is unless it holds a
// control byte, a blank, a double quote or a comma; such a cell is put in
// double quotes with its inner double quotes doubled. CR bytes are removed
// from cells (line breaks inside values become single LF bytes), cells are
// separated by "," and every line ends with CR LF.

#include <string>
#include <string_view>
#include <vector>

class TCsvText {
  public:
    // Appends the cell, with CR bytes removed and quoted when needed.
    static void AppendCell(std::string& out, std::string_view cell);
    // Appends the line of a table row: its cells from column 1 on (column 0
    // is the mail number, never written), then CR LF.
    static void AppendRow(std::string& out, const std::vector<std::string>& row);
    static bool NeedsQuotes(std::string_view cell);
};
