#include "TStopSignal.h"

#include <atomic>
#include <csignal>

namespace {

// Lock-free, so the handler may set it and any thread may read it.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
    received.store(signal);
    std::signal(signal, SIG_DFL);  // the next one is not asked, it ends the program
}

void Catch(int signal) {
    if (std::signal(signal, OnStopSignal) == SIG_IGN) {
        std::signal(signal, SIG_IGN);
    }
}

}  // namespace

void TStopSignal::Install() {
    Catch(SIGINT);
    Catch(SIGTERM);
}

int TStopSignal::Received() {
    return received.load();
}
