#pragma once
// Finds text in the mail cells of a result table, row by row and left to
// right from a cell, wrapping around at the end. ASCII letters match in
// either case; everything else (Japanese) matches as typed. A match never
// starts on the second byte of a double-byte character.

#include <optional>
#include <string>
#include <string_view>

#include "convert/TResultTable.h"

class TTableSearch {
  public:
    // A cell by its table row (from TResultTable::FirstMailRow) and column
    // (from 1: column 0 holds the numbers).
    struct TCell {
        int row = 0;
        int column = 0;
        bool operator==(const TCell&) const = default;
    };

    // `sjisQuery`: the Shift_JIS text to find; an empty one finds nothing.
    explicit TTableSearch(std::string_view sjisQuery);

    bool Matches(std::string_view cell) const;
    // The next cell after `from` (the search starts at the first or last
    // cell without one) that matches, `forward` or backward; `from` itself
    // comes last. None when no cell matches.
    std::optional<TCell> Next(const TResultTable& table, std::optional<TCell> from,
                              bool forward) const;

  private:
    std::string query_;  // upper-cased ASCII
};
