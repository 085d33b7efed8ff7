#pragma once
// Draws the cells of TGridConvertParam: the row colour of the parameter (aqua
// for header parameters, grey for empty columns), the highlight for the
// selected row, and the text 2 pixels inside the cell, top aligned.

#include <QStyledItemDelegate>

class TParamGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
