#pragma once
// Runs the extraction parameters over every mail of one store: one row of
// values per mail, in column (FieldOrder) order. Owns its reader and its
// parameter holder.
//
// BuildRow() is a pure function of the mail index: it touches no converter
// state, so a host may build rows on several threads at once (the reader's
// GetMail is thread-safe once GetCount has been asked, and extraction is).
// First / Next / IsDone / GetRow are the sequential cursor over it.

#include <memory>
#include <string>
#include <vector>

#include "mail/TBasicMailParser.h"
#include "params/TOrderedParamString.h"
#include "settings/TConvertParam.h"

class TCSVConverter {
  public:
    using TRow = std::vector<std::string>;

    TCSVConverter(std::unique_ptr<TBasicMailParser> reader, std::unique_ptr<TConvertParam> params);
    virtual ~TCSVConverter() = default;
    TCSVConverter(const TCSVConverter&) = delete;
    TCSVConverter& operator=(const TCSVConverter&) = delete;

    void First() { index_ = 0; }
    void Next() { ++index_; }
    bool IsDone() { return index_ >= GetCount(); }
    int GetCount() { return reader_->GetCount(); }
    int GetIndex() const { return index_; }
    // Entries of the store that were no mails it may read (the summary's).
    int SkippedEntries() const { return reader_->SkippedEntries(); }

    // How the reader parses mails (its warning callback); before the loop.
    void SetMailOptions(TMailOptions options) { reader_->SetOptions(std::move(options)); }
    const TMailOptions& GetMailOptions() const { return reader_->Options(); }

    // Copies of all parameters in list order.
    std::vector<TOrderedParamString> GetParams() const { return params_->GetParams(); }
    // Column titles in column order.
    std::vector<std::string> GetFieldNames() const;
    // True when some column can hold a line break.
    bool HasMultiLineColumn() const;

    // The row of the mail at the current index.
    TRow GetRow() const { return BuildRow(index_); }
    // The row of mail `index` (from 0). Throws what the reader or the
    // extraction throws (TKestrifyError, TJreException).
    TRow BuildRow(int index) const;
    // The row of a mail read by the caller (what BuildRow gives for it).
    TRow BuildRow(const TBasicMail& mail) const;
    // The column that holds the value of parameter `listIndex` of the list.
    std::size_t ColumnOf(std::size_t listIndex) const;
    // The body parameters as extraction receives them.
    const std::vector<TOrderedParamString>& BodyParams() const { return bodyParams_; }

  private:
    std::unique_ptr<TBasicMailParser> reader_;
    std::unique_ptr<TConvertParam> params_;
    std::vector<TOrderedParamString> headerParams_;
    std::vector<TOrderedParamString> bodyParams_;
    std::vector<int> columnFieldOrders_;  // FieldOrder of each column
    std::vector<int> paramColumns_;       // column of each parameter, in list order
    std::vector<std::string> fieldNames_;
    int index_ = 0;
};
