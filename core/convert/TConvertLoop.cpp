#include "convert/TConvertLoop.h"

#include <memory>
#include <optional>

#include "convert/TRowPrefetcher.h"
#include "regex/TJreException.h"

namespace {

// How far worker threads may run ahead of the loop, per thread.
constexpr int kRowsAheadPerThread = 64;

struct TBuilt {
    std::optional<TCSVConverter::TRow> row;
    std::string message;
    bool regexError = false;
};

std::string Describe(const std::exception_ptr& error, bool& regexError) {
    try {
        std::rethrow_exception(error);
    } catch (const TJreException& e) {
        regexError = true;
        return e.what();
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return TConvertMessages::UnknownError();
    }
}

}  // namespace

TConvertOutcome TConvertLoop::Run() {
    TConvertOutcome outcome;
    int row = TResultTable::FirstMailRow;
    const auto fail = [&](const std::exception_ptr& error) {
        bool regexError = false;
        outcome.end = TConvertOutcome::TEnd::Failed;
        outcome.message =
            TConvertMessages::LoopError(outcome.count, row - 1, Describe(error, regexError));
    };

    try {
        outcome.count = converter_.GetCount();
    } catch (...) {
        fail(std::current_exception());
        table_.SetRowCount(row);
        return outcome;
    }
    const int count = outcome.count;
    table_.SetRowCount(count + TResultTable::FirstMailRow);
    host_.ConvertStarted(count, converter_.HasMultiLineColumn());

    std::unique_ptr<TRowPrefetcher> prefetcher;
    if (threads_ > 1 && count > 1) {
        prefetcher = std::make_unique<TRowPrefetcher>(converter_, count, threads_,
                                                      threads_ * kRowsAheadPerThread);
    }

    converter_.First();
    while (true) {
        bool done = false;
        try {
            done = converter_.IsDone();
        } catch (...) {
            fail(std::current_exception());
            break;
        }
        if (done) {
            break;
        }
        if (host_.StopRequested()) {
            outcome.end = TConvertOutcome::TEnd::Stopped;
            break;
        }
        if (row >= table_.RowCount()) {
            table_.SetRowCount(row + 1);  // the store has grown since it was counted
        }
        TResultTable::TRow& cells = table_.Row(row);
        cells[0] = std::to_string(row - 1);

        const int index = converter_.GetIndex();
        TBuilt built;
        try {
            built.row = prefetcher && index < count ? prefetcher->Take(index) : converter_.GetRow();
        } catch (...) {
            built.message = Describe(std::current_exception(), built.regexError);
        }
        if (built.row) {
            for (std::size_t c = 0; c < built.row->size() && c + 1 < cells.size(); ++c) {
                cells[c + 1] = std::move((*built.row)[c]);
            }
            ++outcome.converted;
            host_.MailConverted(outcome.converted, count);
        } else {
            const TConvertError error{count, row - 1, built.message, built.regexError};
            if (!host_.ContinueAfterError(error)) {
                outcome.end = TConvertOutcome::TEnd::Abandoned;
                break;
            }
        }
        converter_.Next();
        ++row;
    }
    // Only the rows reached stay: after a stop, a "No", or a store that
    // shrank while it was read.
    table_.SetRowCount(row);
    return outcome;
}
