#pragma once
// The table behind TGridConvertParam: one parameter per row, six columns, and
// one empty row while the list is empty. It owns the parameter list.

#include <QAbstractTableModel>
#include <string>

#include "params/TGridParamList.h"

class TParamGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    static constexpr int ColumnCount = 6;

    explicit TParamGridModel(QObject* parent = nullptr);

    const TGridParamList& List() const { return list_; }
    // Changes that add or remove rows.
    template <class Change>
    void Restructure(Change change) {
        beginResetModel();
        change(list_);
        endResetModel();
    }
    // Changes that keep the number of rows.
    template <class Change>
    void Update(Change change) {
        change(list_);
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
    }

    static QString Title(int column);
    // The cell text of a parameter in one of the six columns.
    static QString CellText(const TOrderedParamString& param, int column);
    static Qt::Alignment Alignment(int column);
    // Spreadsheet column name of an output column: 0 "A" ... 25 "Z", 26 "AA"
    // ... 255 "IV"; empty outside 0 to 255.
    static std::string FieldLetters(int fieldOrder);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    TGridParamList list_;
};
