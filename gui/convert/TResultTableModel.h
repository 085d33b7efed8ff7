#pragma once
// The result table as the result grid shows and edits it. During a
// conversion the grid already has one row per mail of the store; the rows
// not yet converted stay empty and read-only until their mail arrives.
// Texts cross to Unicode only for the cells on screen; a cell shows at
// most its first 64 KiB (with an ellipsis), an editor gets all of it.

#include <QAbstractTableModel>
#include <string>
#include <vector>

#include "convert/TResultTable.h"

class TResultTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    TResultTableModel(const std::vector<std::string>& fieldNames, QObject* parent = nullptr);

    const TResultTable& Table() const { return table_; }
    // Mails whose row has arrived.
    int MailRows() const { return table_.RowCount() - TResultTable::FirstMailRow; }
    // Some cell was changed by an edit.
    bool Edited() const { return edited_; }
    // Some cell was changed by an edit since the last MarkSaved().
    bool EditedSinceSave() const { return editedSinceSave_; }
    void MarkSaved() { editedSinceSave_ = false; }

    // Shows `count` rows waiting for their mails.
    void Expect(int count);
    // Puts the rows of the next mails in place, taking them from `rows`.
    void Append(TResultTable& rows);
    // Drops the rows whose mails never arrived.
    void CutToArrived();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    bool Arrived(int row) const { return row >= 0 && row < MailRows(); }

    TResultTable table_;
    int expected_ = 0;
    bool edited_ = false;
    bool editedSinceSave_ = false;
};
