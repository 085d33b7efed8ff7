#pragma once
// Draws cells of TMLStringGrid as multi-line text (wrapped at word boundaries
// when the grid's WordWrap is on) and edits them with TMLInplaceEdit. Line
// breaks written back into the model are CR LF, as everywhere in the program.

#include <QStyledItemDelegate>

class TMLStringGrid;

class TMLCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    explicit TMLCellDelegate(TMLStringGrid* grid);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // CR LF and lone CR become LF (for drawing and editing).
    static QString ToDisplayLines(const QString& text);
    // LF becomes CR LF (for the stored cell text).
    static QString ToStoredLines(const QString& text);

  private:
    TMLStringGrid* grid_;
};
