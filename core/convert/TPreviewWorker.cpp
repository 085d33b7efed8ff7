#include "convert/TPreviewWorker.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

#include "base/VectorState.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr auto kProgressEvery = std::chrono::milliseconds(50);
constexpr auto kJoinWait = std::chrono::milliseconds(250);

}  // namespace

// Everything the thread touches; it keeps the state alive while it runs.
struct TPreviewWorker::TState {
    struct TOpen {
        int mailType;
        std::string location;
        bool htmlText;
        TImapAccess imap;
    };
    struct TParams {
        std::vector<TOrderedParamString> params;
        std::size_t position;
    };

    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable finishedCv;
    bool quit = false;
    bool finished = false;
    bool dirty = false;
    std::optional<TOpen> open;
    std::optional<TParams> params;
    int index = 0;
    bool search = false;
    std::atomic<bool> stop{false};
    std::atomic<bool> closing{false};  // the worker is gone: a connection closes at once

    // Held while the sink is called, so the destructor can shut it off.
    std::mutex sinkMutex;
    TSink sink;

    TMailPreview preview;  // only the thread uses it

    template <class F>
    void Emit(F&& call) {
        const std::lock_guard lock(sinkMutex);
        call(sink);
    }
};

TPreviewWorker::TPreviewWorker(TSink sink) : state_(std::make_shared<TState>()) {
    state_->sink = std::move(sink);
    std::thread(Run, state_).detach();
}

TPreviewWorker::~TPreviewWorker() {
    {
        const std::lock_guard lock(state_->sinkMutex);
        state_->sink = TSink{};
    }
    std::unique_lock lock(state_->mutex);
    state_->quit = true;
    state_->stop = true;
    state_->closing = true;
    state_->wake.notify_one();
    state_->finishedCv.wait_for(lock, kJoinWait, [this] { return state_->finished; });
}

void TPreviewWorker::Open(int mailType, std::string sjisLocation, bool htmlText, TImapAccess imap) {
    // The state outlives every reader it holds, so the reader may look at it.
    std::function<bool()> stopped = std::move(imap.stopRequested);
    imap.stopRequested = [closing = &state_->closing, stopped] {
        return *closing || (stopped && stopped());
    };
    const std::lock_guard lock(state_->mutex);
    state_->open = TState::TOpen{mailType, std::move(sjisLocation), htmlText, std::move(imap)};
    state_->dirty = true;
    state_->stop = true;
    state_->wake.notify_one();
}

void TPreviewWorker::SetParams(std::vector<TOrderedParamString> params, std::size_t position) {
    const std::lock_guard lock(state_->mutex);
    state_->params = TState::TParams{std::move(params), position};
    state_->dirty = true;
    state_->stop = true;
    state_->wake.notify_one();
}

void TPreviewWorker::ShowMail(int index) {
    const std::lock_guard lock(state_->mutex);
    state_->index = index;
    state_->dirty = true;
    state_->stop = true;
    state_->wake.notify_one();
}

void TPreviewWorker::FindNext() {
    const std::lock_guard lock(state_->mutex);
    state_->search = true;
    state_->dirty = true;
    state_->wake.notify_one();
}

void TPreviewWorker::StopSearch() {
    state_->stop = true;
}

void TPreviewWorker::Run(std::shared_ptr<TState> state) {
    vecstate::ClearUpperHalves();  // started by the window's thread
    for (;;) {
        std::optional<TState::TOpen> open;
        std::optional<TState::TParams> params;
        bool search = false;
        int index = 0;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return state->quit || state->dirty; });
            if (state->quit) {
                break;
            }
            open.swap(state->open);
            params.swap(state->params);
            search = std::exchange(state->search, false);
            index = state->index;
            state->dirty = false;
            state->stop = false;
        }
        TMailPreview& preview = state->preview;
        if (open) {
            preview.Open(open->mailType, open->location, open->htmlText, open->imap);
        }
        if (params) {
            preview.SetParams(std::move(params->params), params->position);
        }
        if (search) {
            auto last = TClock::now();
            const int count = preview.Count();
            const TPreviewSearch result = preview.FindNext(index, state->stop, [&](int i) {
                if (TClock::now() - last >= kProgressEvery) {
                    last = TClock::now();
                    state->Emit([&](TSink& sink) {
                        if (sink.progress)
                            sink.progress(i, count);
                    });
                }
            });
            state->Emit([&](TSink& sink) {
                if (sink.searched)
                    sink.searched(result);
            });
            continue;
        }
        TPreviewShot shot = preview.Show(index);
        state->Emit([&](TSink& sink) {
            if (sink.shown)
                sink.shown(std::move(shot));
        });
    }
    // The store closes here, on this thread, whether or not anyone waits.
    state->preview.Open(-1, std::string());
    const std::lock_guard lock(state->mutex);
    state->finished = true;
    state->finishedCv.notify_all();
}
