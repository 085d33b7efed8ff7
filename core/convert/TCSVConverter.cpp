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
    for (const TOrderedParamString& p : all) {
        if (p.GetPosType() == TOrderedParamString::PosBody) {
            bodyParams_.push_back(p);
        } else if (p.GetPosType() == TOrderedParamString::PosHeader) {
            headerParams_.push_back(p);
        }
    }
    // Columns by ascending FieldOrder; equal orders keep their list order.
    std::vector<const TOrderedParamString*> columns;
    for (const TOrderedParamString& p : all) {
        columns.push_back(&p);
    }
    std::stable_sort(columns.begin(), columns.end(),
                     [](const auto* a, const auto* b) { return *a < *b; });
    for (const TOrderedParamString* p : columns) {
        columnFieldOrders_.push_back(p->GetFieldOrder());
        fieldNames_.push_back(p->GetFieldName());
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
    TRow row(columnFieldOrders_.size());
    TValueMap values;
    {
        // The mail lives only while its values are taken, error or not.
        const std::unique_ptr<TBasicMail> mail = reader_->GetMail(index);
        if (mail) {
            values = TFieldExtractor::ExtractValues(*mail, headerParams_, bodyParams_);
        }
    }
    for (std::size_t c = 0; c < columnFieldOrders_.size(); ++c) {
        const auto it = values.find(columnFieldOrders_[c]);
        if (it != values.end()) {
            row[c] = it->second;
        }
    }
    return row;
}
