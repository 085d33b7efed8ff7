#include "convert/TCsvRowReader.h"

bool TCsvRowReader::EndRow() {
    cells_.resize(cell_ + 1);
    const bool going = row_(cells_);
    for (std::string& cell : cells_) {
        cell.clear();  // capacity kept for the next row
    }
    cell_ = 0;
    started_ = false;
    return going;
}

bool TCsvRowReader::Feed(std::string_view text) {
    if (cells_.empty()) {
        cells_.emplace_back();
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted_) {
            if (quote_) {
                quote_ = false;
                if (c == '"') {
                    cells_[cell_] += '"';
                    continue;
                }
                quoted_ = false;  // the closing quote; `c` is read as outside
            } else if (c == '"') {
                quote_ = true;
                continue;
            } else {
                // A run up to the next quote is copied whole.
                const std::size_t end = text.find('"', i);
                const std::size_t stop = end == std::string_view::npos ? text.size() : end;
                cells_[cell_].append(text.substr(i, stop - i));
                i = stop - 1;
                continue;
            }
        }
        switch (c) {
            case '"':
                quoted_ = true;
                started_ = true;
                break;
            case ',':
                if (++cell_ == cells_.size()) {
                    cells_.emplace_back();
                }
                started_ = true;
                break;
            case '\r':
                break;
            case '\n':
                if (!EndRow()) {
                    return false;
                }
                break;
            default:
                cells_[cell_] += c;
                started_ = true;
        }
    }
    return true;
}

bool TCsvRowReader::Finish() {
    if (quoted_ && quote_) {
        quoted_ = quote_ = false;
    }
    return !started_ || EndRow();
}
