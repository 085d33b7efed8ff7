#pragma once
// The result of a conversion as the result window shows and saves it: rows
// of Shift_JIS cells. Row 0 holds the column letters, row 1 the column
// titles, every further row one mail with its 1-based number in column 0.

#include <string>
#include <vector>

class TResultTable {
  public:
    using TRow = std::vector<std::string>;

    static constexpr int LetterRow = 0;
    static constexpr int TitleRow = 1;
    static constexpr int FirstMailRow = 2;

    TResultTable() = default;
    // Two title rows for these field names, plus the number column.
    explicit TResultTable(const std::vector<std::string>& fieldNames);

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount() const { return columns_; }
    // Added rows have every cell empty; rows past the count are dropped.
    void SetRowCount(int count);

    TRow& Row(int row) { return rows_.at(row); }
    const TRow& Row(int row) const { return rows_.at(row); }
    std::string& Cell(int row, int column) { return rows_.at(row).at(column); }
    const std::string& Cell(int row, int column) const { return rows_.at(row).at(column); }

    // Spreadsheet column name of output column `index` (0 = "A", 26 = "AA",
    // 255 = "IV").
    static std::string ColumnLetter(int index);

  private:
    std::vector<TRow> rows_;
    int columns_ = 0;
};
