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
    // Appends the cell, with CR bytes removed and quoted when needed. With
    // `safeCells`, a cell that a spreadsheet would run as a formula gets a
    // leading "'" so that it opens as text.
    static void AppendCell(std::string& out, std::string_view cell, bool safeCells = false);
    // Appends the line of a table row: its cells from column 1 on (column 0
    // is the mail number, never written), then CR LF. `TCells` is any row
    // with size() and cells that convert to std::string_view.
    template <typename TCells>
    static void AppendRow(std::string& out, const TCells& row, bool safeCells = false) {
        if (row.size() == 2 && std::string_view(row[1]).empty()) {
            out += "\"\"\r\n";  // a lone empty cell would otherwise be an empty line
            return;
        }
        for (std::size_t c = 1; c < row.size(); ++c) {
            if (c > 1) {
                out += ',';
            }
            AppendCell(out, row[c], safeCells);
        }
        out += "\r\n";
    }
    static bool NeedsQuotes(std::string_view cell);
    // Starts with "=", "+", "-", "@", a tab or a CR.
    static bool LooksLikeFormula(std::string_view cell);
};
