#pragma once
// Where the conversion loop puts its rows: strictly in mail order, one call
// per mail reached. A table keeps them; a window or a stream may hand them on.

#include <string>
#include <string_view>
#include <vector>

class TRowSink {
  public:
    virtual ~TRowSink() = default;

    // The row of mail `number` (from 1): its values in column order, or no
    // values at all for a mail that failed and was skipped.
    virtual void PutRow(int number, std::vector<std::string>&& values) = 0;

    // Rows built on other threads reach the sink packed, so that the thread
    // that built a row also does the sink's work on it and frees its
    // strings. Pack runs on those threads, several at once (it may only read
    // the sink), and appends the bytes of row `number` to `out`; PutPacked
    // gets them on the loop's thread, in mail order, in place of PutRow.
    virtual void Pack(int number, std::vector<std::string>&& values, std::string& out) const = 0;
    virtual void PutPacked(int number, std::string_view packed) = 0;
};
