#include "gui/params/TParamGridModel.h"

#include <QColor>

#include "gui/base/TQtText.h"

namespace {

enum Column { ParamOrder, ParamKey, FieldOrder, FieldName, RowType, PosType };

}  // namespace

TParamGridModel::TParamGridModel(QObject* parent) : QAbstractTableModel(parent) {}

QString TParamGridModel::Title(int column) {
    switch (column) {
        case ParamOrder:
            return QString::fromUtf8("順");
        case ParamKey:
            return QString::fromUtf8("パラメータ");
        case FieldOrder:
            return QString::fromUtf8("列");
        case FieldName:
            return QString::fromUtf8("フィールド名");
        case RowType:
            return QString::fromUtf8("行");
        case PosType:
            return QString::fromUtf8("場");
        default:
            return {};
    }
}

std::string TParamGridModel::FieldLetters(int fieldOrder) {
    if (fieldOrder < 0 || fieldOrder > 255) {
        return {};
    }
    std::string letters;
    if (fieldOrder >= 26) {
        letters += static_cast<char>('A' + fieldOrder / 26 - 1);
    }
    letters += static_cast<char>('A' + fieldOrder % 26);
    return letters;
}

QString TParamGridModel::CellText(const TOrderedParamString& param, int column) {
    const bool emptyColumn = param.GetPosType() == TOrderedParamString::PosEmpty;
    switch (column) {
        case ParamOrder:
            return emptyColumn ? QString() : QString::number(param.GetParamOrder() + 1);
        case ParamKey:
            return emptyColumn ? QString() : TQtText::FromSjis(param.GetParamKey());
        case FieldOrder:
            return QString::fromStdString(FieldLetters(param.GetFieldOrder()));
        case FieldName:
            return TQtText::FromSjis(param.GetFieldName());
        case RowType:
            if (emptyColumn) {
                return {};
            }
            switch (param.GetRowType()) {
                case TOrderedParamString::RowSingle:
                    return QString::fromUtf8("一");
                case TOrderedParamString::RowMulti:
                    return QString::fromUtf8("複");
                default:
                    return {};
            }
        case PosType:
            switch (param.GetPosType()) {
                case TOrderedParamString::PosBody:
                    return QString::fromUtf8("Ｂ");
                case TOrderedParamString::PosHeader:
                    return QString::fromUtf8("Ｈ");
                default:
                    return {};
            }
        default:
            return {};
    }
}

Qt::Alignment TParamGridModel::Alignment(int column) {
    const bool left = column == ParamKey || column == FieldName;
    return (left ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignTop;
}

int TParamGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : std::max(1, list_.Count());
}

int TParamGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TParamGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.Count()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return CellText(list_.Get(index.row()), index.column());
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Alignment(index.column()));
        case Qt::BackgroundRole:
            switch (list_.Get(index.row()).GetPosType()) {
                case TOrderedParamString::PosHeader:
                    return QColor(0, 255, 255);
                case TOrderedParamString::PosEmpty:
                    return QColor(128, 128, 128);
                default:
                    return {};
            }
        default:
            return {};
    }
}

QVariant TParamGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    switch (role) {
        case Qt::DisplayRole:
            return Title(section);
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
        default:
            return {};
    }
}
