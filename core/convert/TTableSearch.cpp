#include "convert/TTableSearch.h"

#include "base/SjisText.h"

TTableSearch::TTableSearch(std::string_view sjisQuery) : query_(sjis::ToUpper(sjisQuery)) {}

bool TTableSearch::Matches(std::string_view cell) const {
    if (query_.empty() || cell.size() < query_.size()) {
        return false;
    }
    return sjis::Find(sjis::ToUpper(cell), query_) != std::string::npos;
}

std::optional<TTableSearch::TCell> TTableSearch::Next(const TResultTable& table,
                                                      std::optional<TCell> from,
                                                      bool forward) const {
    const int columns = table.ColumnCount() - 1;
    const int rows = table.RowCount() - TResultTable::FirstMailRow;
    if (query_.empty() || columns <= 0 || rows <= 0) {
        return std::nullopt;
    }
    const long long cells = static_cast<long long>(rows) * columns;
    // Cells numbered in reading order; the one before the first is `from`.
    long long at = forward ? -1 : cells;
    if (from) {
        at = static_cast<long long>(from->row - TResultTable::FirstMailRow) * columns +
             (from->column - 1);
    }
    for (long long step = 1; step <= cells; ++step) {
        const long long index = ((at + (forward ? step : -step)) % cells + cells) % cells;
        const TCell cell{static_cast<int>(index / columns) + TResultTable::FirstMailRow,
                         static_cast<int>(index % columns) + 1};
        if (Matches(table.Cell(cell.row, cell.column))) {
            return cell;
        }
    }
    return std::nullopt;
}
