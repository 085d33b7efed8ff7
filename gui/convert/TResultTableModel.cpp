#include "gui/convert/TResultTableModel.h"

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "base/SjisText.h"
#include "gui/base/TQtText.h"
#include "gui/controls/TMLCellDelegate.h"
#include "gui/convert/TItemGrid.h"

namespace {

// A cell shows at most its first this many bytes: a mail body of many
// megabytes was converted and laid out whole at every paint, which took
// long and needed more memory than the conversion (a 60 MB body ran out
// under a 1 GB limit, inside Qt's painting). Editing and saving take the
// whole cell.
constexpr std::size_t kShownBytes = 64 * 1024;

// The cell's text as shown: cut at a character boundary with an ellipsis.
QString Shown(std::string_view cell) {
    if (cell.size() <= kShownBytes) {
        return TQtText::FromSjis(cell);
    }
    std::size_t end = 0;
    for (std::size_t next = 0; next <= kShownBytes; next += sjis::CharLength(cell, next)) {
        end = next;
    }
    return TQtText::FromSjis(cell.substr(0, end)) + u'\u2026';
}

}  // namespace

TResultTableModel::TResultTableModel(const std::vector<std::string>& fieldNames, QObject* parent)
    : QAbstractTableModel(parent), table_(fieldNames) {}

void TResultTableModel::Expect(int count) {
    const int shown = rowCount();
    const int wanted = std::max(count, MailRows());
    if (wanted > shown) {
        beginInsertRows(QModelIndex(), shown, wanted - 1);
        expected_ = count;
        endInsertRows();
    } else {
        expected_ = count;
    }
}

void TResultTableModel::Append(TResultTable& rows) {
    if (rows.RowCount() == 0) {
        return;
    }
    const int first = MailRows();
    const int last = first + rows.RowCount() - 1;
    // A store that grew while it was read brings more rows than expected.
    const int shown = rowCount();
    const bool grows = last >= shown;
    if (grows) {
        beginInsertRows(QModelIndex(), shown, last);
    }
    rows.MoveRowsTo(table_);
    if (grows) {
        endInsertRows();
    }
    // The rows' numbers change with them; a view takes them from the same
    // signal (a header signal would lay out the whole view again).
    const int changedLast = std::min(last, shown - 1);
    if (changedLast >= first) {
        emit dataChanged(index(first, 0), index(changedLast, columnCount() - 1));
    }
}

void TResultTableModel::CutToArrived() {
    const int shown = rowCount();
    const int arrived = MailRows();
    if (shown > arrived) {
        beginRemoveRows(QModelIndex(), arrived, shown - 1);
        expected_ = 0;
        endRemoveRows();
    }
    expected_ = 0;
}

int TResultTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(MailRows(), expected_);
}

int TResultTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.ColumnCount() - 1;
}

QVariant TResultTableModel::data(const QModelIndex& index, int role) const {
    if ((role != Qt::DisplayRole && role != Qt::EditRole) || !Arrived(index.row())) {
        return {};
    }
    const std::string_view cell =
        table_.Cell(index.row() + TResultTable::FirstMailRow, index.column() + 1);
    return role == Qt::DisplayRole ? Shown(cell) : TQtText::FromSjis(cell);
}

bool TResultTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !Arrived(index.row()) || index.column() < 0 ||
        index.column() >= columnCount()) {
        return false;
    }
    // An editor closed without a change leaves the bytes alone: not every
    // byte sequence comes back the same through Unicode.
    const QString text = value.toString();
    if (TMLCellDelegate::ToDisplayLines(text) ==
        TMLCellDelegate::ToDisplayLines(data(index, Qt::EditRole).toString())) {
        return true;
    }
    table_.SetCell(index.row() + TResultTable::FirstMailRow, index.column() + 1,
                   TQtText::ToSjis(text));
    edited_ = true;
    editedSinceSave_ = true;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags TResultTableModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (Arrived(index.row())) {
        f |= Qt::ItemIsEditable;
    }
    return f;
}

QVariant TResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal) {
        const int column = section + 1;
        if (column < 1 || column >= table_.ColumnCount()) {
            return {};
        }
        if (role == Qt::DisplayRole) {
            return TQtText::FromSjis(table_.Cell(TResultTable::TitleRow, column));
        }
        if (role == TItemGrid::LetterRole) {
            return TQtText::FromSjis(table_.Cell(TResultTable::LetterRow, column));
        }
        return {};
    }
    if (role != Qt::DisplayRole || !Arrived(section)) {
        return {};
    }
    return TQtText::FromSjis(table_.Cell(section + TResultTable::FirstMailRow, 0));
}
