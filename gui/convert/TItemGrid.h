#pragma once
// The result grid: a multi-line string grid with two fixed title rows (the
// column letters above the column titles) and one fixed number column, all
// drawn as single centred lines. The fixed rows are the horizontal header,
// the number column is the vertical header, so they stay in place while the
// cells scroll. Grid columns count the number column as column 0: model
// column i is grid column i + 1.
//
// The scrollable columns are sized by a mode: all share the width, only the
// last one takes the rest, or no automatic sizing at all.

#include <vector>

#include "gui/controls/TMLStringGrid.h"

class TItemGrid : public TMLStringGrid {
    Q_OBJECT
  public:
    enum COL_TYPE { COL_FIT_ALL = 0, COL_FIT_LAST = 1, COL_FIXED = 2 };

    // Horizontal header role of the column letter (Qt::DisplayRole: the title).
    static constexpr int LetterRole = Qt::UserRole + 1;
    static constexpr int MinColumnWidth = 100;

    explicit TItemGrid(QWidget* parent = nullptr);

    // Stores the mode without resizing.
    void SetColType(COL_TYPE mode) { colType_ = mode; }
    COL_TYPE GetColType() const { return colType_; }
    // Sizes the columns by the mode.
    void SetColSize();

    // Grid columns, the number column included.
    int ColCount() const;
    int ColWidth(int column) const;
    void SetColWidth(int column, int width);
    std::vector<int> ColWidths() const;

    // Height of the mail rows; the title rows keep the single height.
    void SetDoubleRowHeight(bool doubled);
    int SingleRowHeight() const { return singleRowHeight_; }

    // Widens the scrollable columns whose title or first `sampleRows` rows'
    // first lines need more room than they have, up to `maxWidth` each, and
    // fixes the widths from then on.
    void FitColumnsToContents(int sampleRows, int maxWidth);

    // Ends an open in-place edit, keeping what was typed.
    void CommitEdit();

    // The widths of the grid columns from `fixedColumns` on, for a client
    // width, the summed width of the fixed columns and the current widths of
    // all grid columns. COL_FIXED keeps them.
    static std::vector<int> FitWidths(COL_TYPE mode, int clientWidth, int fixedWidth,
                                      int fixedColumns, std::vector<int> widths);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    // Rows that change together (rows arriving during a conversion, with
    // their numbers) are repainted only where they show: the view would
    // otherwise repaint everything for each batch.
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;

  private:
    COL_TYPE colType_ = COL_FIT_ALL;
    int singleRowHeight_;
};
