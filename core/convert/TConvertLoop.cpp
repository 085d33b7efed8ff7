#include "convert/TConvertLoop.h"

#include <memory>
#include <new>
#include <optional>

#include "codeconv/TSjisUnicode.h"
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
    } catch (const std::bad_alloc&) {
        return TSjisUnicode::FromUtf8("メモリが不足しています。 (out of memory)");
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return TConvertMessages::UnknownError();
    }
}

}  // namespace

TConvertOutcome TConvertLoop::Run() {
    TConvertOutcome outcome;
    int number = 1;  // of the mail at hand
    const auto fail = [&](const std::exception_ptr& error) {
        bool regexError = false;
        outcome.end = TConvertOutcome::TEnd::Failed;
        outcome.message =
            TConvertMessages::LoopError(outcome.count, number, Describe(error, regexError));
    };

    try {
        outcome.count = converter_.GetCount();
    } catch (...) {
        fail(std::current_exception());
        return outcome;
    }
    const int count = outcome.count;
    host_.ConvertStarted(count, converter_.HasMultiLineColumn());

    std::unique_ptr<TRowPrefetcher> prefetcher;
    if (threads_ > 1 && count > 1) {
        prefetcher = std::make_unique<TRowPrefetcher>(converter_, count, threads_,
                                                      threads_ * kRowsAheadPerThread);
    }

    // The store may grow or shrink while it is read: the loop asks before
    // every mail, and rows past the first count are built here.
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
        const int index = converter_.GetIndex();
        TBuilt built;
        try {
            built.row = prefetcher && index < count ? prefetcher->Take(index) : converter_.GetRow();
        } catch (...) {
            built.message = Describe(std::current_exception(), built.regexError);
        }
        if (built.row) {
            sink_.PutRow(number, std::move(*built.row));
            ++outcome.converted;
            host_.MailConverted(outcome.converted, count);
        } else {
            const TConvertError error{count, number, built.message, built.regexError};
            if (!host_.ContinueAfterError(error)) {
                outcome.end = TConvertOutcome::TEnd::Abandoned;
                break;
            }
            sink_.PutRow(number, {});
        }
        converter_.Next();
        ++number;
    }
    return outcome;
}
