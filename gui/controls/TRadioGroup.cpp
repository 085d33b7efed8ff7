#include "gui/controls/TRadioGroup.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QRadioButton>
#include <algorithm>

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, QWidget* parent,
                         int columns)
    : QGroupBox(title, parent), buttons_(new QButtonGroup(this)) {
    auto* layout = new QGridLayout(this);
    columns = std::max(columns, 1);
    for (int i = 0; i < items.size(); ++i) {
        auto* button = new QRadioButton(items[i], this);
        buttons_->addButton(button, i);
        layout->addWidget(button, i / columns, i % columns);
    }
    connect(buttons_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            emit ItemIndexChanged(id);
        }
    });
}

int TRadioGroup::ItemIndex() const {
    return buttons_->checkedId();
}

void TRadioGroup::SetItemIndex(int index) {
    if (index == -1) {
        if (QAbstractButton* checked = buttons_->checkedButton()) {
            buttons_->setExclusive(false);
            checked->setChecked(false);
            buttons_->setExclusive(true);
            emit ItemIndexChanged(-1);
        }
        return;
    }
    if (QAbstractButton* button = buttons_->button(index)) {
        button->setChecked(true);
    }
}

QRadioButton* TRadioGroup::Item(int index) const {
    return static_cast<QRadioButton*>(buttons_->button(index));
}

int TRadioGroup::ItemCount() const {
    return static_cast<int>(buttons_->buttons().size());
}
