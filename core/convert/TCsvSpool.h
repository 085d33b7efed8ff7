#pragma once
// The rows of a conversion as CSV text, kept in an unnamed temporary file
// while the mails are read: memory stays the same however many rows and
// however long cells there are, and the CSV file itself is still written in
// one go at the end, so a stopped or failed run leaves the target untouched.
// The file has no name from the start: nothing is ever left behind.
//
// A target replaced by renaming a temporary file beside it is safe to write
// while the mails are read: then the rows go straight into that file
// (WriteInto) and are not written twice.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/TOutputFile.h"
#include "convert/TRowSink.h"

class TCsvSpool : public TRowSink {
  public:
    // `columns`: the number of values in a row (a skipped mail gets that
    // many empty cells). IsOpen() tells whether the file could be made.
    TCsvSpool(int columns, bool safeCells);
    ~TCsvSpool() override;
    TCsvSpool(const TCsvSpool&) = delete;
    TCsvSpool& operator=(const TCsvSpool&) = delete;

    bool IsOpen() const { return file_ != nullptr || target_ != nullptr; }
    // From now on blocks go to `target` (converted to UTF-8 when asked),
    // which must outlive the spool's use; before the first row.
    void WriteInto(TOutputFile& target, bool utf8);
    bool WritesInto() const { return target_ != nullptr; }
    void PutRow(int number, std::vector<std::string>&& values) override;
    // A packed row is its CSV line.
    void Pack(int number, std::vector<std::string>&& values, std::string& out) const override;
    void PutPacked(int number, std::string_view packed) override;
    int RowCount() const { return rows_; }

    // Writes what is still held. False when the text could not all be kept
    // (Error() tells why); then no row may be read back.
    bool Finish();
    int Error() const { return error_; }

    // Hands the rows' text to `write` in blocks that end at line ends (so
    // no character is cut), after Finish; nothing when WritesInto. False
    // when reading or `write` failed.
    bool ForEachBlock(const std::function<bool(std::string_view)>& write);

  private:
    // Counts the row just added to the block and writes a full block out.
    void Kept();
    bool Flush();

    std::FILE* file_ = nullptr;
    TOutputFile* target_ = nullptr;
    bool utf8_ = false;
    int columns_;
    bool safeCells_;
    int rows_ = 0;
    int error_ = 0;
    std::string block_;
};
