#include "gui/controls/TStringGridModel.h"

#include <algorithm>

TStringGridModel::TStringGridModel(QObject* parent) : QAbstractTableModel(parent) {}

void TStringGridModel::SetSize(int rows, int columns) {
    rows = std::max(rows, 0);
    columns = std::max(columns, 0);
    beginResetModel();
    std::vector<QString> cells(static_cast<std::size_t>(rows) * columns);
    for (int r = 0; r < std::min(rows, rows_); ++r) {
        for (int c = 0; c < std::min(columns, columns_); ++c) {
            cells[static_cast<std::size_t>(r) * columns + c] =
                std::move(cells_[static_cast<std::size_t>(r) * columns_ + c]);
        }
    }
    cells_ = std::move(cells);
    rows_ = rows;
    columns_ = columns;
    endResetModel();
}

bool TStringGridModel::Inside(int row, int column) const {
    return row >= 0 && row < rows_ && column >= 0 && column < columns_;
}

QString TStringGridModel::Cell(int row, int column) const {
    if (!Inside(row, column)) {
        return {};
    }
    return cells_[static_cast<std::size_t>(row) * columns_ + column];
}

void TStringGridModel::SetCell(int row, int column, const QString& text) {
    if (!Inside(row, column)) {
        return;
    }
    cells_[static_cast<std::size_t>(row) * columns_ + column] = text;
    const QModelIndex i = index(row, column);
    emit dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
}

int TStringGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TStringGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant TStringGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return {};
    }
    return Cell(index.row(), index.column());
}

bool TStringGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !Inside(index.row(), index.column())) {
        return false;
    }
    SetCell(index.row(), index.column(), value.toString());
    return true;
}

Qt::ItemFlags TStringGridModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (editable_ && index.isValid()) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}
