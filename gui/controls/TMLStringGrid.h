#pragma once
// A grid of multi-line text cells over any table model: each cell is drawn
// with its line breaks (and wrapped when WordWrap is on) and edited with the
// multi-line TMLInplaceEdit. Only the visible cells are drawn, so models of
// hundreds of thousands of rows stay responsive.

#include <QPointer>
#include <QTableView>

class TMLCellDelegate;
class TMLInplaceEdit;

class TMLStringGrid : public QTableView {
    Q_OBJECT
  public:
    explicit TMLStringGrid(QWidget* parent = nullptr);

    void SetWordWrap(bool wordWrap);
    bool GetWordWrap() const { return wordWrap_; }

    // The open in-place editor, or nullptr.
    TMLInplaceEdit* InplaceEditor() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    // Each editor the delegate makes.
    void AttachEditor(TMLInplaceEdit* editor);
    void EndEditing(TMLInplaceEdit* editor);
    void MoveEditing(TMLInplaceEdit* editor, int key);
    void CaretToEndOfEditor();

    TMLCellDelegate* delegate_;
    QPointer<TMLInplaceEdit> editor_;
    bool wordWrap_ = false;
};
