#include "gui/controls/THistoryComboBox.h"

#include <QLineEdit>
#include <QSignalBlocker>

THistoryComboBox::THistoryComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMaxVisibleItems(12);
    // The history holds long paths; the box keeps the width its window gives it.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(10);
}

template <class Change>
void THistoryComboBox::KeepingEditText(Change change) {
    const QString text = currentText();
    const int cursor = lineEdit()->cursorPosition();
    {
        const QSignalBlocker blocker(this);
        change();
        // Inserting into an empty list would select (and show) the new entry.
        setCurrentIndex(-1);
        setEditText(text);
    }
    lineEdit()->setCursorPosition(cursor);
}

void THistoryComboBox::Add(const QString& text) {
    KeepingEditText([&] {
        insertItem(0, text);
        for (int i = count() - 1; i >= 1; --i) {
            if (itemText(i) == text) {
                removeItem(i);
            }
        }
        while (count() > historyCount_ && count() > 0) {
            removeItem(count() - 1);
        }
    });
}

void THistoryComboBox::AddStrings(const QStringList& list) {
    KeepingEditText([&] { addItems(list); });
}

QStringList THistoryComboBox::Items() const {
    QStringList items;
    items.reserve(count());
    for (int i = 0; i < count(); ++i) {
        items.append(itemText(i));
    }
    return items;
}
