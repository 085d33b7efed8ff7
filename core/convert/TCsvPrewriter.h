#pragma once
// Writes the CSV file of an automatic run while its rows arrive, as
// kestrify-cli does, so that the save at the end only finishes the file
// instead of writing every row after the conversion. The rows of the
// window's table are formatted and written on a thread of their own.
//
// Only a target replaced by renaming a temporary file beside it is written
// early (TCsvFile::StreamRowsTo): the old file stays as it is until the save
// renames the new one over it. For any other target IsWriting() is false
// and the save writes the table as usual. Destroyed without a save, it
// leaves no file behind.
//
// Use (on the window's thread, the table holding its title rows):
//     TCsvPrewriter early(table, host, name, saveType);
//     early.Add(first, end);               // rows that arrived, in order
//     if (TCsvFile* file = early.Finish()) file->SaveAutomatic(param);  // same name and type
//     else ... save the table as usual
// The host must take its calls from any thread.

#include <condition_variable>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "convert/TCsvFile.h"
#include "convert/TCsvSpool.h"
#include "convert/TResultTable.h"

class TCsvPrewriter {
  public:
    TCsvPrewriter(const TResultTable& table, TCsvSaveHost& host, const std::string& fileName,
                  int saveType, TCsvOptions options = {});
    // Stops writing (the writer's stop); the unfinished file goes.
    ~TCsvPrewriter() = default;
    TCsvPrewriter(const TCsvPrewriter&) = delete;
    TCsvPrewriter& operator=(const TCsvPrewriter&) = delete;

    bool IsWriting() const { return writer_.joinable(); }
    // Hands on the table's rows [first, end); they must stay in the table.
    void Add(int first, int end);
    // Waits until every row handed on is written. The file returned then
    // finishes the save of the same name and type; it holds every row
    // handed on, so the table must not have changed otherwise. Nullptr when
    // the rows could not all be handed on (out of memory): the table is to
    // be saved as usual.
    TCsvFile* Finish();

  private:
    void Write(const std::stop_token& stop);

    const TResultTable& table_;
    const bool safeCells_;
    TCsvSpool spool_;
    TCsvFile file_;

    std::mutex mutex_;
    std::condition_variable_any added_;
    std::vector<TResultTable::TRowView> queued_;
    bool finishing_ = false;
    bool failed_ = false;
    std::jthread writer_;  // last: stopped and joined before the rest goes
};
