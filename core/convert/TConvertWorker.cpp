#include "convert/TConvertWorker.h"

#include <new>
#include <system_error>

#include "base/VectorState.h"
#include "codeconv/TSjisUnicode.h"

TConvertWorker::TConvertWorker(TCSVConverter& converter)
    : converter_(converter),
      columns_(static_cast<int>(converter.GetFieldNames().size()) + 1),
      packed_(columns_) {
    news_.rows = TResultTable(columns_);
}

void TConvertWorker::Start(int threads) {
    threads_ = threads;
    try {
        thread_ = std::jthread([this](std::stop_token stop) { Run(std::move(stop)); });
    } catch (const std::system_error&) {
        // No thread to be had: under a memory limit its stack is what ran
        // out. The run ends as at any other shortage, through the news, so
        // the caller (a window's event handler) never sees an exception.
        {
            std::lock_guard lock(mutex_);
            news_.end = OutOfMemory();
        }
        TellUrgently();
    }
}

TConvertOutcome TConvertWorker::OutOfMemory() {
    TConvertOutcome outcome;
    outcome.end = TConvertOutcome::TEnd::Failed;
    outcome.outOfMemory = true;
    try {
        outcome.message = TSjisUnicode::FromUtf8("メモリが不足しています。");
    } catch (const std::bad_alloc&) {
        // The flag alone tells the window which message to show.
    }
    return outcome;
}

void TConvertWorker::Run(std::stop_token stop) {
    stop_ = stop;
    // Started by a window's thread: drop what its vector registers held
    // (the helper threads of the loop start from this one).
    vecstate::ClearUpperHalves();
    TConvertLoop loop(converter_, *this, *this);
    loop.SetThreads(threads_);
    TConvertOutcome outcome;
    try {
        outcome = loop.Run(std::move(stop));
    } catch (const std::bad_alloc&) {
        // Memory ran out in a mail or while keeping rows: the whole run ends.
        outcome = OutOfMemory();
    } catch (const std::exception& e) {
        outcome.end = TConvertOutcome::TEnd::Failed;
        try {
            outcome.message = e.what();
        } catch (const std::bad_alloc&) {
            // Copying the message is the last allocation of a thread that
            // must not end the process: it becomes the memory shortage.
            outcome = OutOfMemory();
        }
    }
    {
        std::lock_guard lock(mutex_);
        news_.end = std::move(outcome);
    }
    TellUrgently();
}

// The window's timer takes the news anyway: a notice that finds no memory
// (it posts an event) only makes it come later, and must not end the thread
// with an exception (that would abort the program).
void TConvertWorker::TellUrgently() {
    if (!urgentNews_) {
        return;
    }
    try {
        urgentNews_();
    } catch (const std::bad_alloc&) {
    }
}

void TConvertWorker::RequestStop() {
    thread_.request_stop();
}

TConvertWorker::TNews TConvertWorker::Take() {
    std::lock_guard lock(mutex_);
    TNews taken = std::move(news_);
    news_ = TNews();
    news_.rows = TResultTable(columns_);
    news_.position = taken.position;
    news_.warnings = taken.warnings;
    return taken;
}

void TConvertWorker::Answer(bool goOn) {
    {
        std::lock_guard lock(mutex_);
        answer_ = goOn;
    }
    answered_.notify_all();
}

void TConvertWorker::Warning(const std::string& sjisMessage) {
    std::lock_guard lock(mutex_);
    news_.warning = sjisMessage;
    ++news_.warnings;
}

void TConvertWorker::ConvertStarted(int count, bool multiLine) {
    std::lock_guard lock(mutex_);
    news_.start = TStart{count, multiLine};
}

void TConvertWorker::MailConverted(int position, int /*count*/) {
    std::lock_guard lock(mutex_);
    news_.position = position;
}

// A lock per row costs little beside building the row, and a slow mail
// never holds back the rows before it. The row is packed here, and its
// strings freed by the thread that made them (freeing them on the window's
// thread took longer than building them).
void TConvertWorker::PutRow(int number, std::vector<std::string>&& values) {
    packed_.PutRow(number, std::move(values));
    std::lock_guard lock(mutex_);
    packed_.MoveRowsTo(news_.rows);
}

// Rows built on helper threads arrive as block images of `packed_`'s width;
// like PutRow's, they are laid into its slab outside the lock.
void TConvertWorker::Pack(int number, std::vector<std::string>&& values, std::string& out) const {
    packed_.Pack(number, std::move(values), out);
}

void TConvertWorker::PutPacked(int number, std::string_view packed) {
    packed_.PutPacked(number, packed);
    std::lock_guard lock(mutex_);
    packed_.MoveRowsTo(news_.rows);
}

bool TConvertWorker::ContinueAfterError(const TConvertError& error) {
    std::unique_lock lock(mutex_);
    if (stop_.stop_requested()) {
        return false;
    }
    answer_.reset();
    news_.question = error;
    lock.unlock();
    TellUrgently();
    lock.lock();
    answered_.wait(lock, stop_, [this] { return answer_.has_value(); });
    return answer_.value_or(false);
}
