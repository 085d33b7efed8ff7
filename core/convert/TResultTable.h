#pragma once
// The result of a conversion as the result window shows and saves it: rows
// of Shift_JIS cells. Row 0 holds the column letters, row 1 the column
// titles, every further row one mail with its 1-based number in column 0.
//
// Each row is kept as one block: the end offsets of its cells followed by
// their bytes. A table of hundreds of thousands of mails then costs little
// more than its text, instead of one string object per cell. The blocks are
// laid one after another into large slabs of memory, not allocated one by
// one: a heap that keeps a block per row between the short-lived strings of
// the conversion slowed the conversion itself.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/TRowSink.h"

class TResultTable : public TRowSink {
  public:
    using TRow = std::vector<std::string>;

    static constexpr int LetterRow = 0;
    static constexpr int TitleRow = 1;
    static constexpr int FirstMailRow = 2;

    // The cells of one row. Blocks never move: the view stays valid while
    // the table (or the one its rows moved to) lives, and a row changed
    // later gets a new block, so the view keeps its old cells.
    class TRowView {
      public:
        std::size_t size() const { return static_cast<std::size_t>(columns_); }
        std::string_view operator[](std::size_t column) const;
        TRow Cells() const;

      private:
        friend class TResultTable;
        TRowView(const std::uint32_t* block, int columns) : block_(block), columns_(columns) {}
        const std::uint32_t* const block_;  // nullptr: every cell empty
        const int columns_;
    };

    TResultTable() = default;
    // Two title rows for these field names, plus the number column.
    explicit TResultTable(const std::vector<std::string>& fieldNames);
    // No rows yet, `columns` wide: rows on their way to another table.
    explicit TResultTable(int columns) : columns_(columns) {}
    // Moved, not copied: a copy would fill the same slab.
    TResultTable(const TResultTable&) = delete;
    TResultTable& operator=(const TResultTable&) = delete;
    TResultTable(TResultTable&&) = default;
    TResultTable& operator=(TResultTable&&) = default;

    int RowCount() const { return static_cast<int>(rows_.size()); }
    int ColumnCount() const { return columns_; }
    // Added rows have every cell empty; rows past the count are dropped
    // (their memory goes with the table).
    void SetRowCount(int count);

    // Rows and cells outside the table throw std::out_of_range.
    TRowView Row(int row) const;
    std::string_view Cell(int row, int column) const { return Row(row)[CheckedColumn(column)]; }
    // Cells beyond the column count are ignored, missing ones are empty.
    void SetRow(int row, const TRow& cells);
    void SetCell(int row, int column, std::string_view text);

    // Appends the row: `number` in column 0, the values after it.
    void PutRow(int number, TRow&& values) override;
    // A packed row is the image of its block.
    void Pack(int number, TRow&& values, std::string& out) const override;
    void PutPacked(int number, std::string_view packed) override;
    // Moves every row to the end of `target`, which has as many columns.
    // The rows keep their memory: no cell is copied. The slab this table
    // fills is shared with `target` from then on, so rows can be packed on
    // one thread and moved, under a lock, to a table another thread reads.
    void MoveRowsTo(TResultTable& target);

    // Spreadsheet column name of output column `index` (0 = "A", 26 = "AA",
    // 255 = "IV").
    static std::string ColumnLetter(int index);

  private:
    using TBlock = const std::uint32_t*;  // nullptr: every cell empty
    using TSlab = std::shared_ptr<std::uint32_t[]>;

    // A block for the cells given by `cell(i)` for i in 0 .. columns - 1.
    template <typename TCellOf>
    TBlock MakeBlock(TCellOf cell);
    // Room for `words` words in the slab being filled (or a slab of their own).
    std::uint32_t* Allot(std::size_t words);
    static void Prefault(std::uint32_t* slab, std::size_t words);
    // Keeps `slab` for the rows in it.
    void Hold(const TSlab& slab);
    // Bytes of those cells together.
    template <typename TCellOf>
    std::size_t TextSize(TCellOf cell) const;
    // Writes the block of those cells to `image` (room for their offsets and bytes).
    template <typename TCellOf>
    void WriteBlock(TCellOf cell, char* image) const;
    // The cells of mail `number`'s row: the number, then the values.
    static auto MailCells(const std::string& numberText, const TRow& values);
    std::size_t CheckedColumn(int column) const;

    std::vector<TBlock> rows_;
    std::vector<TSlab> slabs_;  // those holding this table's rows
    TSlab filling_;             // the slab new blocks go to
    std::size_t fillingUsed_ = 0;
    std::size_t fillingWords_ = 0;
    int columns_ = 0;
};
