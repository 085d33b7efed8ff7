#pragma once
// The multi-line in-place editor of TMLStringGrid. Enter inserts a line break;
// Ctrl+Enter ends editing; arrow keys move the caret and never leave the
// cell; Ctrl+arrow moves the editing to the neighbouring cell.

#include <QPlainTextEdit>

class TMLInplaceEdit : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit TMLInplaceEdit(QWidget* parent = nullptr);

    // Caret after the last character, nothing selected.
    void CaretToEnd();

  signals:
    void EndEditRequested();
    // key: Qt::Key_Left, Key_Up, Key_Right or Key_Down.
    void MoveRequested(int key);

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};
