#pragma once
// Where the conversion loop puts its rows: strictly in mail order, one call
// per mail reached. A table keeps them; a window or a stream may hand them on.

#include <string>
#include <vector>

class TRowSink {
  public:
    virtual ~TRowSink() = default;

    // The row of mail `number` (from 1): its values in column order, or no
    // values at all for a mail that failed and was skipped.
    virtual void PutRow(int number, std::vector<std::string>&& values) = 0;
};
