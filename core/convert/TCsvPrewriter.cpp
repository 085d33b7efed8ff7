#include "convert/TCsvPrewriter.h"

#include <new>
#include <system_error>

#include "base/VectorState.h"
#include "convert/TCsvText.h"

TCsvPrewriter::TCsvPrewriter(const TResultTable& table, TCsvSaveHost& host,
                             const std::string& fileName, int saveType, TCsvOptions options)
    : table_(table),
      safeCells_(options.safeCells),
      spool_(table.ColumnCount() - 1, options.safeCells),
      file_(table, host, options, &spool_) {
    if (spool_.IsOpen() && file_.StreamRowsTo(fileName, saveType)) {
        try {
            writer_ = std::jthread([this](const std::stop_token& stop) { Write(stop); });
        } catch (const std::system_error&) {
            // No thread (a memory or process limit): nothing is written
            // early, the save writes the table; the streamed file goes with
            // this object.
        }
    }
}

void TCsvPrewriter::Add(int first, int end) {
    if (!writer_.joinable() || first >= end) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        try {
            for (int row = first; row < end; ++row) {
                queued_.push_back(table_.Row(row));
            }
        } catch (const std::bad_alloc&) {
            failed_ = true;  // the file would lack rows: it is given up
        }
    }
    added_.notify_one();
}

TCsvFile* TCsvPrewriter::Finish() {
    if (writer_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            finishing_ = true;
        }
        added_.notify_one();
        writer_.join();
    }
    return failed_ ? nullptr : &file_;
}

void TCsvPrewriter::Write(const std::stop_token& stop) {
    vecstate::ClearUpperHalves();  // started by the window's thread
    std::vector<TResultTable::TRowView> rows;
    std::string line;
    while (true) {
        {
            std::unique_lock lock(mutex_);
            added_.wait(lock, stop, [this] { return !queued_.empty() || finishing_; });
            if (stop.stop_requested() || failed_ || queued_.empty()) {
                return;
            }
            rows.swap(queued_);
        }
        try {
            for (const TResultTable::TRowView& row : rows) {
                line.clear();
                TCsvText::AppendRow(line, row, safeCells_);
                spool_.PutPacked(0, line);
            }
        } catch (const std::bad_alloc&) {
            std::lock_guard lock(mutex_);
            failed_ = true;
            return;
        }
        rows.clear();
    }
}
