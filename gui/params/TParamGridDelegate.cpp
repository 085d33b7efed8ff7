#include "gui/params/TParamGridDelegate.h"

#include <QPainter>

void TParamGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                               const QModelIndex& index) const {
    const bool selected = (option.state & QStyle::State_Selected) != 0;
    const QPalette& palette = option.palette;
    QColor background = palette.color(QPalette::Active, QPalette::Base);
    if (selected) {
        background = palette.color(QPalette::Active, QPalette::Highlight);
    } else if (const QVariant rowColour = index.data(Qt::BackgroundRole); rowColour.isValid()) {
        background = rowColour.value<QColor>();
    }
    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(
        palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    const auto alignment = index.data(Qt::TextAlignmentRole).value<Qt::Alignment>();
    painter->setClipRect(option.rect);
    painter->drawText(option.rect.adjusted(2, 2, -2, -2), static_cast<int>(alignment),
                      index.data(Qt::DisplayRole).toString());
    painter->restore();
}
