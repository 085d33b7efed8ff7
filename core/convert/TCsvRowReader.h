#pragma once
// Reads back the cells of CSV text as TCsvText writes it (cells quoted when
// needed with inner quotes doubled, lines ending in CR LF), fed in blocks
// that may end anywhere, even inside a quoted cell. Used where spooled rows
// go on in another form (a workbook). Bytes are compared one by one: no
// byte looked for can be part of a Shift_JIS double-byte character.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TCsvRowReader {
  public:
    using TRowHandler = std::function<bool(std::vector<std::string>& cells)>;

    // `row` gets each complete row; false from it stops the reading.
    explicit TCsvRowReader(TRowHandler row) : row_(std::move(row)) {}

    // False when the handler stopped.
    bool Feed(std::string_view text);
    // Ends a last row that has no line break; false when the handler stopped.
    bool Finish();

  private:
    bool EndRow();

    TRowHandler row_;
    std::vector<std::string> cells_;
    std::size_t cell_ = 0;  // cells_ in use
    bool quoted_ = false;   // inside a quoted cell
    bool quote_ = false;    // a quote seen inside one: closing, or the first of a pair
    bool started_ = false;  // the row holds something
};
