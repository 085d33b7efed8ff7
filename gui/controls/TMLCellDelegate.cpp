#include "gui/controls/TMLCellDelegate.h"

#include <QApplication>
#include <QPainter>

#include "gui/controls/TMLInplaceEdit.h"

TMLCellDelegate::TMLCellDelegate(QObject* parent, std::function<bool()> wordWrap,
                                 std::function<void(TMLInplaceEdit*)> editorMade)
    : QStyledItemDelegate(parent),
      wordWrap_(std::move(wordWrap)),
      editorMade_(std::move(editorMade)) {}

QString TMLCellDelegate::ToDisplayLines(const QString& text) {
    if (!text.contains(u'\r')) {
        return text;
    }
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(u'\r', u'\n');
    return lines;
}

QString TMLCellDelegate::ToStoredLines(const QString& text) {
    QString lines = ToDisplayLines(text);
    lines.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return lines;
}

void TMLCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    // The raw cell text: the option's copy has its line feeds already turned
    // into separators, which would double CR LF breaks.
    const QString text = ToDisplayLines(index.data(Qt::DisplayRole).toString());
    opt.text.clear();
    // The selection keeps its colour when the grid loses the focus.
    opt.state |= QStyle::State_Active;
    QStyle* style = opt.widget != nullptr ? opt.widget->style() : QApplication::style();
    // Background, selection and focus as the style draws them; the text below.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);

    const bool selected = (opt.state & QStyle::State_Selected) != 0;
    painter->save();
    painter->setPen(
        opt.palette.color(QPalette::Active, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(opt.font);
    int flags = Qt::AlignLeft | Qt::AlignTop;
    if (wordWrap_()) {
        flags |= Qt::TextWordWrap;
    }
    painter->setClipRect(opt.rect);
    painter->drawText(opt.rect.adjusted(2, 2, 0, 0), flags, text);
    painter->restore();
}

QWidget* TMLCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& /*index*/) const {
    auto* editor = new TMLInplaceEdit(parent);
    editor->setFont(option.font);
    editorMade_(editor);
    return editor;
}

void TMLCellDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = static_cast<TMLInplaceEdit*>(editor);
    edit->setPlainText(ToDisplayLines(index.data(Qt::EditRole).toString()));
    // Typing over a cell replaces its text; F2 and Enter put the caret at the end.
    edit->selectAll();
}

void TMLCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                   const QModelIndex& index) const {
    auto* edit = static_cast<TMLInplaceEdit*>(editor);
    model->setData(index, ToStoredLines(edit->toPlainText()), Qt::EditRole);
}

void TMLCellDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                           const QModelIndex& /*index*/) const {
    editor->setGeometry(option.rect);
}
