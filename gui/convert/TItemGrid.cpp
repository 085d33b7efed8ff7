#include "gui/convert/TItemGrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "gui/controls/TMLInplaceEdit.h"

namespace {

constexpr int FixedColumns = 1;
constexpr int TitleRows = 2;

// The fixed title rows: each section is drawn as two cells, the column
// letter above the column title, each one line centred.
class TTitleHeader : public QHeaderView {
  public:
    TTitleHeader(QWidget* parent, const int& rowHeight)
        : QHeaderView(Qt::Horizontal, parent), rowHeight_(rowHeight) {}

    QSize sizeHint() const override {
        return {QHeaderView::sizeHint().width(), rowHeight_ * TitleRows};
    }

  protected:
    void paintSection(QPainter* painter, const QRect& rect, int section) const override {
        if (!rect.isValid() || model() == nullptr) {
            return;
        }
        const int half = rect.height() / TitleRows;
        const QRect letter(rect.left(), rect.top(), rect.width(), half);
        const QRect title(rect.left(), rect.top() + half, rect.width(), rect.height() - half);
        PaintCell(painter, letter,
                  model()->headerData(section, orientation(), TItemGrid::LetterRole));
        PaintCell(painter, title, model()->headerData(section, orientation(), Qt::DisplayRole));
    }

  private:
    void PaintCell(QPainter* painter, const QRect& rect, const QVariant& text) const {
        QStyleOptionHeader opt;
        initStyleOption(&opt);
        opt.rect = rect;
        opt.section = 0;
        opt.position = QStyleOptionHeader::Middle;
        opt.textAlignment = Qt::AlignCenter;
        // One line, as a fixed cell shows it.
        opt.text = text.toString().simplified();
        painter->save();
        painter->setClipRect(rect);
        style()->drawControl(QStyle::CE_Header, &opt, painter, this);
        painter->restore();
    }

    const int& rowHeight_;
};

}  // namespace

TItemGrid::TItemGrid(QWidget* parent)
    : TMLStringGrid(parent), singleRowHeight_(fontMetrics().height() + 8) {
    auto* titles = new TTitleHeader(this, singleRowHeight_);
    setHorizontalHeader(titles);
    titles->setSectionResizeMode(QHeaderView::Interactive);
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
    titles->setStretchLastSection(false);
    titles->setMinimumSectionSize(4);
    titles->setDefaultSectionSize(MinColumnWidth);

    QHeaderView* numbers = verticalHeader();
    numbers->setSectionResizeMode(QHeaderView::Interactive);
    numbers->setSectionsClickable(false);
    numbers->setHighlightSections(false);
    numbers->setDefaultAlignment(Qt::AlignCenter);
    numbers->setMinimumSectionSize(4);
    numbers->setDefaultSectionSize(singleRowHeight_);
    numbers->setFixedWidth(30);
    setCornerButtonEnabled(false);
    // Hundreds of thousands of rows scroll by pixel, not by row.
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
}

int TItemGrid::ColCount() const {
    return (model() != nullptr ? model()->columnCount() : 0) + FixedColumns;
}

int TItemGrid::ColWidth(int column) const {
    return column == 0 ? verticalHeader()->width() : columnWidth(column - FixedColumns);
}

void TItemGrid::SetColWidth(int column, int width) {
    if (column == 0) {
        verticalHeader()->setFixedWidth(width);
        updateGeometries();
    } else {
        setColumnWidth(column - FixedColumns, width);
    }
}

std::vector<int> TItemGrid::ColWidths() const {
    std::vector<int> widths;
    for (int c = 0; c < ColCount(); ++c) {
        widths.push_back(ColWidth(c));
    }
    return widths;
}

void TItemGrid::SetDoubleRowHeight(bool doubled) {
    verticalHeader()->setDefaultSectionSize(doubled ? 2 * singleRowHeight_ : singleRowHeight_);
}

void TItemGrid::FitColumnsToContents(int sampleRows, int maxWidth) {
    QAbstractItemModel* data = model();
    if (data == nullptr) {
        return;
    }
    const QFontMetrics cellFont(font());
    const QFontMetrics titleFont(horizontalHeader()->font());
    const int rows = std::min(sampleRows, data->rowCount());
    constexpr int Margin = 16;  // the cell's padding and grid line
    for (int column = 0; column < data->columnCount(); ++column) {
        int wanted =
            titleFont.horizontalAdvance(data->headerData(column, Qt::Horizontal).toString());
        for (int row = 0; row < rows; ++row) {
            const QString text = data->index(row, column).data().toString();
            wanted = std::max(wanted, cellFont.horizontalAdvance(text.section(u'\n', 0, 0)));
        }
        const int grid = column + FixedColumns;
        SetColWidth(grid, std::max(ColWidth(grid), std::min(wanted + Margin, maxWidth)));
    }
    colType_ = COL_FIXED;
}

void TItemGrid::CommitEdit() {
    if (TMLInplaceEdit* editor = InplaceEditor()) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

std::vector<int> TItemGrid::FitWidths(COL_TYPE mode, int clientWidth, int fixedWidth,
                                      int fixedColumns, std::vector<int> widths) {
    const int columns = static_cast<int>(widths.size());
    if (mode == COL_FIXED || columns <= fixedColumns) {
        return {widths.begin() + std::min(fixedColumns, columns), widths.end()};
    }
    if (mode == COL_FIT_ALL) {
        // One pixel of grid line per column.
        const int share = (clientWidth - columns - fixedWidth) / (columns - fixedColumns);
        std::fill(widths.begin() + fixedColumns, widths.end(), std::max(share, MinColumnWidth));
    }
    int rest = clientWidth - fixedWidth;
    for (int c = fixedColumns; c < columns - 1; ++c) {
        rest -= widths[c];
    }
    widths.back() = rest >= MinColumnWidth ? rest - 5 : MinColumnWidth;
    return {widths.begin() + fixedColumns, widths.end()};
}

void TItemGrid::SetColSize() {
    if (colType_ == COL_FIXED || model() == nullptr) {
        return;
    }
    // The client area of the grid: the cells and the fixed column, without
    // the frame and a shown scroll bar.
    const int clientWidth = viewport()->width() + verticalHeader()->width();
    const std::vector<int> widths =
        FitWidths(colType_, clientWidth, verticalHeader()->width(), FixedColumns, ColWidths());
    for (int i = 0; i < static_cast<int>(widths.size()); ++i) {
        setColumnWidth(i, widths[i]);
    }
}

void TItemGrid::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                            const QList<int>& roles) {
    if (topLeft.row() == bottomRight.row()) {
        TMLStringGrid::dataChanged(topLeft, bottomRight, roles);  // an edit
        return;
    }
    const int top = rowAt(0);
    int bottom = rowAt(viewport()->height() - 1);
    if (bottom < 0) {
        bottom = model()->rowCount() - 1;
    }
    if (top < 0 || bottomRight.row() < top || topLeft.row() > bottom) {
        return;
    }
    viewport()->update();
    verticalHeader()->viewport()->update();
}

void TItemGrid::resizeEvent(QResizeEvent* event) {
    TMLStringGrid::resizeEvent(event);
    SetColSize();
}
