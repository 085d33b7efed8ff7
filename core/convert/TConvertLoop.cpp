#include "convert/TConvertLoop.h"

#include <exception>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>

#include "codeconv/TSjisUnicode.h"
#include "convert/TRowPrefetcher.h"
#include "mail/TStoreChangedError.h"
#include "regex/TJreException.h"

namespace {

struct TBuilt {
    bool ok = false;
    TCSVConverter::TRow row;
    std::string_view packed;  // of a prefetched row: given instead of `row`
    bool isPacked = false;
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

// Memory that ran out is no fault of one mail: the whole run ends, as it
// would anywhere else, and nothing is saved.
void EndIfOutOfMemory(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
    }
}

// A store that changed under the reader (TStoreChangedError) fails as a
// whole: its other mails cannot be trusted either.
bool IsStoreChange(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const TStoreChangedError&) {
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace

TConvertOutcome TConvertLoop::Run(std::stop_token stop) {
    TConvertOutcome outcome;
    int number = 1;  // of the mail at hand
    const auto fail = [&](const std::exception_ptr& error) {
        EndIfOutOfMemory(error);
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
        prefetcher = std::make_unique<TRowPrefetcher>(converter_, sink_, count, threads_);
        if (prefetcher->Threads() == 0) {
            prefetcher.reset();  // no thread to be had: every row is built here
        }
    }
    TRowChunk chunk;
    int inChunk = 0;  // next row of `chunk`

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
        if (stop.stop_requested()) {
            outcome.end = TConvertOutcome::TEnd::Stopped;
            break;
        }
        const int index = converter_.GetIndex();
        TBuilt built;
        try {
            if (prefetcher && index < count) {
                if (inChunk == chunk.Size()) {
                    if (!prefetcher->Take(chunk) || chunk.first != index) {
                        throw std::logic_error("prefetched rows out of step");
                    }
                    inChunk = 0;
                }
                const int row = inChunk++;
                if (chunk.Error(row)) {
                    std::rethrow_exception(chunk.Error(row));
                }
                built.packed = chunk.Row(row);
                built.isPacked = true;
            } else {
                built.row = converter_.GetRow();
            }
            built.ok = true;
        } catch (...) {
            EndIfOutOfMemory(std::current_exception());
            if (IsStoreChange(std::current_exception())) {
                fail(std::current_exception());
                break;
            }
            built.message = Describe(std::current_exception(), built.regexError);
        }
        if (built.ok) {
            if (built.isPacked) {
                sink_.PutPacked(number, built.packed);
            } else {
                sink_.PutRow(number, std::move(built.row));
            }
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
