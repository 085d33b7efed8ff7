#include "convert/TPreviewWorker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "base/VectorState.h"

namespace {

using TClock = std::chrono::steady_clock;
constexpr auto kProgressEvery = std::chrono::milliseconds(50);

}  // namespace

// Everything the thread and the requests share.
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
    struct TRequestStop {
        std::stop_source* source;
        void operator()() const { source->request_stop(); }
    };

    std::mutex mutex;
    std::condition_variable_any wake;
    bool dirty = false;
    std::optional<TOpen> open;
    std::optional<TParams> params;
    int index = 0;
    bool search = false;
    std::stop_source searchStop;  // the search under way: any request but FindNext stops it
    // The worker goes: its thread quits and a store's connection closes at
    // once; the opener's own stop asks it too.
    std::stop_source closing;
    std::optional<std::stop_callback<TRequestStop>> openerStop;

    // Held while the sink is called, so the destructor can shut it off.
    std::mutex sinkMutex;
    TSink sink;

    TMailPreview preview;  // only the thread uses it

    template <class F>
    void Emit(F&& call) {
        const std::lock_guard lock(sinkMutex);
        call(sink);
    }
    // A new request: the search under way stops. Under `mutex`.
    void Changed() {
        dirty = true;
        searchStop.request_stop();
        wake.notify_one();
    }
};

TPreviewWorker::TPreviewWorker(TSink sink) : state_(std::make_unique<TState>()) {
    state_->sink = std::move(sink);
    thread_ = std::jthread([state = state_.get()] { Run(*state, state->closing.get_token()); });
}

TPreviewWorker::~TPreviewWorker() {
    {
        const std::lock_guard lock(state_->sinkMutex);
        state_->sink = TSink{};
    }
    {
        const std::lock_guard lock(state_->mutex);
        state_->searchStop.request_stop();
    }
    state_->closing.request_stop();  // wakes the thread's wait too
    if (thread_.joinable()) {
        thread_.join();
    }
    state_->openerStop.reset();
}

void TPreviewWorker::Open(int mailType, std::string sjisLocation, bool htmlText, TImapAccess imap) {
    const std::lock_guard lock(state_->mutex);
    // The state outlives every reader it holds, so the reader may look at it.
    state_->openerStop.reset();
    state_->openerStop.emplace(imap.stop, TState::TRequestStop{&state_->closing});
    imap.stop = state_->closing.get_token();
    state_->open = TState::TOpen{mailType, std::move(sjisLocation), htmlText, std::move(imap)};
    state_->Changed();
}

void TPreviewWorker::SetParams(std::vector<TOrderedParamString> params, std::size_t position) {
    const std::lock_guard lock(state_->mutex);
    state_->params = TState::TParams{std::move(params), position};
    state_->Changed();
}

void TPreviewWorker::ShowMail(int index) {
    const std::lock_guard lock(state_->mutex);
    state_->index = index;
    state_->Changed();
}

void TPreviewWorker::FindNext() {
    const std::lock_guard lock(state_->mutex);
    state_->search = true;
    state_->dirty = true;
    state_->wake.notify_one();
}

void TPreviewWorker::StopSearch() {
    const std::lock_guard lock(state_->mutex);
    state_->searchStop.request_stop();
}

void TPreviewWorker::Run(TState& state, const std::stop_token& quit) {
    vecstate::ClearUpperHalves();  // started by the window's thread
    for (;;) {
        std::optional<TState::TOpen> open;
        std::optional<TState::TParams> params;
        bool search = false;
        int index = 0;
        std::stop_token searchStop;
        {
            std::unique_lock lock(state.mutex);
            state.wake.wait(lock, quit, [&] { return state.dirty; });
            if (quit.stop_requested()) {
                break;
            }
            open.swap(state.open);
            params.swap(state.params);
            search = std::exchange(state.search, false);
            index = state.index;
            state.dirty = false;
            state.searchStop = std::stop_source();
            searchStop = state.searchStop.get_token();
        }
        TMailPreview& preview = state.preview;
        if (open) {
            preview.Open(open->mailType, open->location, open->htmlText, open->imap);
        }
        if (params) {
            preview.SetParams(std::move(params->params), params->position);
        }
        if (search) {
            auto last = TClock::now();
            const int count = preview.Count();
            const TPreviewSearch result = preview.FindNext(index, searchStop, [&](int i) {
                if (TClock::now() - last >= kProgressEvery) {
                    last = TClock::now();
                    state.Emit([&](TSink& sink) {
                        if (sink.progress)
                            sink.progress(i, count);
                    });
                }
            });
            state.Emit([&](TSink& sink) {
                if (sink.searched)
                    sink.searched(result);
            });
            continue;
        }
        TPreviewShot shot = preview.Show(index);
        state.Emit([&](TSink& sink) {
            if (sink.shown)
                sink.shown(std::move(shot));
        });
    }
    // The store closes here, on this thread.
    state.preview.Open(-1, std::string());
}
