#include "gui/controls/TMLInplaceEdit.h"

#include <QKeyEvent>

namespace {

bool IsArrow(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
}

bool IsEnter(int key) {
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Modifiers without the keypad flag that the Enter and arrow keys of the
// numeric pad carry.
Qt::KeyboardModifiers PlainModifiers(const QKeyEvent* event) {
    return event->modifiers() & ~Qt::KeypadModifier;
}

}  // namespace

TMLInplaceEdit::TMLInplaceEdit(QWidget* parent) : QPlainTextEdit(parent) {
    // A cell-sized box that scrolls to the caret both ways, without bars.
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // A visible frame and an opaque background, so the cell being edited
    // stands out from the grid lines and the text behind it.
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral(
        "TMLInplaceEdit { border: 1px solid palette(highlight); background: palette(base); }"));
    setTabChangesFocus(true);
    document()->setDocumentMargin(1);
}

void TMLInplaceEdit::CaretToEnd() {
    moveCursor(QTextCursor::End);
}

void TMLInplaceEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = PlainModifiers(event);
    if (IsEnter(key)) {
        if (mods == Qt::ControlModifier) {
            emit EndEditRequested();
        } else {
            insertPlainText(QStringLiteral("\n"));
            ensureCursorVisible();
        }
        event->accept();
        return;
    }
    if (IsArrow(key)) {
        if (mods == Qt::ControlModifier) {
            emit MoveRequested(key);
        } else {
            QPlainTextEdit::keyPressEvent(event);
        }
        // At the first or last line the edit box ignores the key; the grid
        // must not take it and leave the cell.
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
