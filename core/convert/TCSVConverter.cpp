#include "convert/TCSVConverter.h"

#include <algorithm>
#include <stdexcept>

#include "params/TFieldExtractor.h"

TCSVConverter::TCSVConverter(std::unique_ptr<TBasicMailParser> reader,
                             std::unique_ptr<TConvertParam> params)
    : reader_(std::move(reader)), params_(std::move(params)) {
    if (!reader_ || !params_) {
        throw std::invalid_argument("TCSVConverter needs a reader and parameters");
    }
    const std::vector<TOrderedParamString>& all = params_->Params();
    // Columns by ascending FieldOrder; equal orders keep their list order.
    std::vector<std::size_t> columns(all.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
        columns[i] = i;
    }
    std::stable_sort(columns.begin(), columns.end(),
                     [&all](std::size_t a, std::size_t b) { return all[a] < all[b]; });
    // Values are keyed by FieldOrder, so each working copy carries its column
    // position instead: a hand-written project with missing or repeated
    // orders still gets one value per column. Distinct orders give the same
    // columns either way.
    paramColumns_.resize(all.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        paramColumns_[columns[c]] = static_cast<int>(c);
        columnFieldOrders_.push_back(static_cast<int>(c));
        fieldNames_.push_back(all[columns[c]].GetFieldName());
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        TOrderedParamString p = all[i];
        p.SetFieldOrder(paramColumns_[i]);
        if (p.GetPosType() == TOrderedParamString::PosBody) {
            bodyParams_.push_back(std::move(p));
        } else if (p.GetPosType() == TOrderedParamString::PosHeader) {
            headerParams_.push_back(std::move(p));
        }
    }
}

std::vector<std::string> TCSVConverter::GetFieldNames() const {
    return fieldNames_;
}

bool TCSVConverter::HasMultiLineColumn() const {
    const std::vector<TOrderedParamString>& all = params_->Params();
    return std::any_of(all.begin(), all.end(),
                       [](const TOrderedParamString& p) { return !p.IsSingleLineResult(); });
}

TCSVConverter::TRow TCSVConverter::BuildRow(int index) const {
    // The mail lives only while its values are taken, error or not.
    const std::unique_ptr<TBasicMail> mail = reader_->GetMail(index);
    return mail ? BuildRow(*mail) : TRow(columnFieldOrders_.size());
}

TCSVConverter::TRow TCSVConverter::BuildRow(const TBasicMail& mail) const {
    // Each working parameter's FieldOrder is its column, so the values are
    // written straight into the row.
    TRow row(columnFieldOrders_.size());
    TFieldExtractor::ExtractRow(mail, headerParams_, bodyParams_, row);
    return row;
}

std::size_t TCSVConverter::ColumnOf(std::size_t listIndex) const {
    return static_cast<std::size_t>(paramColumns_.at(listIndex));
}
