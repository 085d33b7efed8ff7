#include "gui/params/TGridConvertParam.h"

#include <QHeaderView>
#include <algorithm>

#include "gui/params/TParamGridDelegate.h"
#include "gui/params/TParamGridModel.h"

namespace {

constexpr int NarrowWidth = 25;
constexpr int MinWideWidth = 50;

}  // namespace

TGridConvertParam::TGridConvertParam(QWidget* parent)
    : QTableView(parent), model_(new TParamGridModel(this)) {
    for (int c = COL_PARAM_ORDER; c <= COL_POS_TYPE; ++c) {
        colView_[static_cast<COL_TYPE>(c)] = true;
    }
    setModel(model_);
    setItemDelegate(new TParamGridDelegate(this));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setWordWrap(false);
    setShowGrid(true);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    horizontalHeader()->setMinimumSectionSize(1);
    SetCurrentRow(1);
}

void TGridConvertParam::AddParam(const TOrderedParamString& param) {
    model_->Restructure([&](TGridParamList& list) { list.Add(param); });
    SetCurrentRow(GetParamCount());
    MatchColWidth();
}

void TGridConvertParam::AddParam(const std::vector<TOrderedParamString>& params) {
    model_->Restructure([&](TGridParamList& list) {
        for (const auto& p : params) {
            list.Add(p);
        }
    });
    SetCurrentRow(GetRowCount() - 1);
    MatchColWidth();
}

void TGridConvertParam::SetParam(int row, const TOrderedParamString& param) {
    if (row < 1 || row > GetParamCount()) {
        return;
    }
    model_->Update([&](TGridParamList& list) { list.Set(row - 1, param); });
}

void TGridConvertParam::RemoveParam(int row) {
    if (row < 1 || row > GetParamCount()) {
        return;
    }
    model_->Restructure([&](TGridParamList& list) { list.Remove(row - 1); });
    SetCurrentRow(std::min(row, GetRowCount() - 1));
    MatchColWidth();
}

void TGridConvertParam::ClearParam() {
    model_->Restructure([](TGridParamList& list) { list.Clear(); });
    SetCurrentRow(1);
}

void TGridConvertParam::MoveUpParam(int row) {
    if (row < 2 || GetParamCount() < 2) {
        return;
    }
    model_->Update([&](TGridParamList& list) { list.MoveUp(row - 1); });
    SetCurrentRow(row - 1);
}

void TGridConvertParam::MoveDownParam(int row) {
    model_->Update([&](TGridParamList& list) { list.MoveDown(row - 1); });
    SetCurrentRow(row);
}

bool TGridConvertParam::IsSelected() const {
    const int row = GetCurrentRow();
    return row >= 1 && row <= GetParamCount();
}

TOrderedParamString TGridConvertParam::GetParam() const {
    if (!IsSelected()) {
        return {};
    }
    return model_->List().Get(GetCurrentRow() - 1);
}

std::vector<TOrderedParamString> TGridConvertParam::GetAllParam() const {
    std::vector<TOrderedParamString> params;
    params.reserve(GetParamCount());
    for (int i = 0; i < GetParamCount(); ++i) {
        params.push_back(model_->List().Get(i));
    }
    return params;
}

int TGridConvertParam::GetParamCount() const {
    return model_->List().Count();
}

void TGridConvertParam::ClearParamOrder() {
    model_->Update([](TGridParamList& list) {
        for (int i = 0; i < list.Count(); ++i) {
            TGridParamString p = list.Get(i);
            p.SetFieldOrder(i);
            list.Set(i, p);
        }
    });
}

void TGridConvertParam::SetFieldOrder(int row, int order) {
    if (row < 1 || row > GetParamCount()) {
        return;
    }
    model_->Update([&](TGridParamList& list) {
        TGridParamString p = list.Get(row - 1);
        p.SetFieldOrder(order);
        list.Set(row - 1, p);
    });
}

int TGridConvertParam::GetFieldOrder(int index) const {
    if (index < 0 || index >= GetParamCount()) {
        return -1;
    }
    return model_->List().Get(index).GetFieldOrder();
}

void TGridConvertParam::SetAutoSetFieldNumber(bool on) {
    if (on != autoSetFieldNumber_) {
        autoSetFieldNumber_ = on;
        model_->Update([on](TGridParamList& list) { list.SetAutoSetFieldNumber(on); });
    }
}

void TGridConvertParam::SetAutoSetParamOrder(bool on) {
    if (on != autoSetParamOrder_) {
        autoSetParamOrder_ = on;
        model_->Update([on](TGridParamList& list) { list.SetAutoSetParamOrder(on); });
    }
}

TGridConvertParam::ColumnWidthArray TGridConvertParam::ColumnWidths(
    int clientWidth, const std::map<COL_TYPE, bool>& visible) {
    int free = clientWidth - 5;
    for (const COL_TYPE narrow : {COL_PARAM_ORDER, COL_FIELD_ORDER, COL_ROW_TYPE, COL_POS_TYPE}) {
        const auto it = visible.find(narrow);
        if (it == visible.end() || it->second) {
            free -= NarrowWidth;
        }
    }
    const int wide = free / 2 > MinWideWidth ? free / 2 : MinWideWidth;
    return {NarrowWidth, wide, NarrowWidth, wide, NarrowWidth, NarrowWidth};
}

void TGridConvertParam::MatchColWidth() {
    if (parentWidget() == nullptr) {
        return;
    }
    const ColumnWidthArray widths = ColumnWidths(viewport()->width(), colView_);
    for (int c = 0; c < static_cast<int>(widths.size()); ++c) {
        setColumnWidth(c, widths[c]);
    }
}

void TGridConvertParam::SetColView(COL_TYPE column, bool visible) {
    colView_[column] = visible;
    setColumnHidden(column, !visible);
    MatchColWidth();
}

int TGridConvertParam::GetRowCount() const {
    return std::max(2, GetParamCount() + 1);
}

int TGridConvertParam::GetCurrentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() + 1 : 1;
}

void TGridConvertParam::SetCurrentRow(int row) {
    if (row < 1 || row >= GetRowCount()) {
        return;
    }
    const QModelIndex index = model_->index(row - 1, 0);
    selectionModel()->setCurrentIndex(
        index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

void TGridConvertParam::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    MatchColWidth();
}
