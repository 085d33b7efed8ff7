#pragma once
// A plain table of text cells for TMLStringGrid, stored in one flat array.

#include <QAbstractTableModel>
#include <vector>

class TStringGridModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit TStringGridModel(QObject* parent = nullptr);

    // Keeps the cells that stay inside the new size.
    void SetSize(int rows, int columns);
    QString Cell(int row, int column) const;
    void SetCell(int row, int column, const QString& text);
    void SetEditable(bool editable) { editable_ = editable; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

  private:
    bool Inside(int row, int column) const;

    std::vector<QString> cells_;
    int rows_ = 0;
    int columns_ = 0;
    bool editable_ = true;
};
