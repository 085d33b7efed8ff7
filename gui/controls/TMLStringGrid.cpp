#include "gui/controls/TMLStringGrid.h"

#include <QKeyEvent>

#include "gui/controls/TMLCellDelegate.h"
#include "gui/controls/TMLInplaceEdit.h"

TMLStringGrid::TMLStringGrid(QWidget* parent)
    : QTableView(parent),
      delegate_(new TMLCellDelegate(
          this, [this] { return wordWrap_; },
          [this](TMLInplaceEdit* editor) { AttachEditor(editor); })) {
    setItemDelegate(delegate_);
    QTableView::setWordWrap(false);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
}

void TMLStringGrid::SetWordWrap(bool wordWrap) {
    if (wordWrap == wordWrap_) {
        return;
    }
    wordWrap_ = wordWrap;
    QTableView::setWordWrap(wordWrap);
    viewport()->update();
}

TMLInplaceEdit* TMLStringGrid::InplaceEditor() const {
    return state() == QAbstractItemView::EditingState ? editor_.data() : nullptr;
}

void TMLStringGrid::AttachEditor(TMLInplaceEdit* editor) {
    editor_ = editor;
    connect(editor, &TMLInplaceEdit::EndEditRequested, this,
            [this, editor] { EndEditing(editor); });
    connect(editor, &TMLInplaceEdit::MoveRequested, this,
            [this, editor](int key) { MoveEditing(editor, key); });
}

void TMLStringGrid::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const bool f2 = event->key() == Qt::Key_F2;
    if (enter && state() != QAbstractItemView::EditingState && currentIndex().isValid() &&
        (model()->flags(currentIndex()) & Qt::ItemIsEditable) != 0) {
        edit(currentIndex());
        CaretToEndOfEditor();
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
    if (f2) {
        CaretToEndOfEditor();
    }
}

void TMLStringGrid::CaretToEndOfEditor() {
    if (TMLInplaceEdit* editor = InplaceEditor()) {
        editor->CaretToEnd();
    }
}

void TMLStringGrid::EndEditing(TMLInplaceEdit* editor) {
    commitData(editor);
    closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void TMLStringGrid::MoveEditing(TMLInplaceEdit* editor, int key) {
    CursorAction action = MoveRight;
    switch (key) {
        case Qt::Key_Left:
            action = MoveLeft;
            break;
        case Qt::Key_Up:
            action = MoveUp;
            break;
        case Qt::Key_Down:
            action = MoveDown;
            break;
        default:
            break;
    }
    const QModelIndex from = currentIndex();
    const QModelIndex to = moveCursor(action, Qt::NoModifier);
    if (!to.isValid() || to == from) {
        editor->CaretToEnd();
        return;
    }
    EndEditing(editor);
    setCurrentIndex(to);
    if ((model()->flags(to) & Qt::ItemIsEditable) != 0) {
        edit(to);
        CaretToEndOfEditor();
    }
}
