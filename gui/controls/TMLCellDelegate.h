#pragma once
// Draws the cells of a TMLStringGrid as multi-line text (wrapped at word boundaries
// when the grid's WordWrap is on) and edits them with TMLInplaceEdit. Line
// breaks written back into the model are CR LF, as everywhere in the program.

#include <QStyledItemDelegate>
#include <functional>

class TMLInplaceEdit;

class TMLCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
  public:
    // `wordWrap` tells whether the grid wraps now; `editorMade` is told of
    // each editor made, so that the grid handles its keys.
    TMLCellDelegate(QObject* parent, std::function<bool()> wordWrap,
                    std::function<void(TMLInplaceEdit*)> editorMade);

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
    std::function<bool()> wordWrap_;
    std::function<void(TMLInplaceEdit*)> editorMade_;
};
