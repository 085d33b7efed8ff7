#pragma once
// The parameter grid: shows and owns a list of extraction parameters, one per
// row, in six fixed columns, and offers the list operations the windows need.
// Rows are counted as in the grid: row 1 is the first parameter (row 0 is the
// title row). One row is always current; the list may be empty, in which case
// the grid still shows one empty row.

#include <QTableView>
#include <array>
#include <map>
#include <vector>

#include "params/TOrderedParamString.h"

class TParamGridModel;

class TGridConvertParam : public QTableView {
    Q_OBJECT
  public:
    enum COL_TYPE {
        COL_PARAM_ORDER = 0,
        COL_PARAM_KEY = 1,
        COL_FIELD_ORDER = 2,
        COL_FIELD_NAME = 3,
        COL_ROW_TYPE = 4,
        COL_POS_TYPE = 5,
    };
    using ColumnWidthArray = std::array<int, 6>;

    explicit TGridConvertParam(QWidget* parent);

    void AddParam(const TOrderedParamString& param);
    void AddParam(const std::vector<TOrderedParamString>& params);
    void SetParam(int row, const TOrderedParamString& param);
    void RemoveParam(int row);
    void ClearParam();
    void MoveUpParam(int row);
    void MoveDownParam(int row);

    bool IsSelected() const;
    // The parameter of the current row; ask IsSelected first.
    TOrderedParamString GetParam() const;
    std::vector<TOrderedParamString> GetAllParam() const;
    int GetParamCount() const;

    // Output order = row order.
    void ClearParamOrder();
    void SetFieldOrder(int row, int order);
    // index counts from 0 (list index, not grid row); -1 outside the list.
    int GetFieldOrder(int index) const;

    // Take effect at the next change of the list.
    void SetAutoSetFieldNumber(bool on);
    bool GetAutoSetFieldNumber() const { return autoSetFieldNumber_; }
    void SetAutoSetParamOrder(bool on);
    bool GetAutoSetParamOrder() const { return autoSetParamOrder_; }

    void MatchColWidth();
    // A column flagged invisible is hidden and leaves its width to the two
    // wide columns.
    void SetColView(COL_TYPE column, bool visible);
    bool GetColView(COL_TYPE column) const { return colView_.at(column); }

    // Grid rows: 0 is the title row; the grid has at least 2 rows.
    int GetRowCount() const;
    int GetCurrentRow() const;
    // Rows outside 1 .. GetRowCount() - 1 are ignored.
    void SetCurrentRow(int row);

    // The column widths for a client width.
    static ColumnWidthArray ColumnWidths(int clientWidth, const std::map<COL_TYPE, bool>& visible);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    TParamGridModel* model_;
    bool autoSetFieldNumber_ = false;
    bool autoSetParamOrder_ = true;
    std::map<COL_TYPE, bool> colView_;
};
