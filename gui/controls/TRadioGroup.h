#pragma once
// A titled group of radio buttons with one selected item, addressed by index
// (0 = first item). ItemIndexChanged fires whenever the selection changes,
// also when the program changes it.

#include <QGroupBox>
#include <QStringList>

class QButtonGroup;
class QRadioButton;

class TRadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    // columns: how many items stand side by side.
    TRadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr,
                int columns = 1);

    // -1 when nothing is selected.
    int ItemIndex() const;
    // -1 clears the selection; other values outside the items are ignored.
    void SetItemIndex(int index);
    QRadioButton* Item(int index) const;
    int ItemCount() const;

  signals:
    void ItemIndexChanged(int index);

  private:
    QButtonGroup* buttons_;
};
