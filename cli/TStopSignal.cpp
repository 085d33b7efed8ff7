#include "TStopSignal.h"

#include <signal.h>

#include <atomic>

namespace {

// Lock-free, so the handler may set it and any thread may read it.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnStopSignal(int signal) {
    received.store(signal);
    // The next one is not asked, it ends the program.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(signal, &action, nullptr);
}

void Catch(int signal) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
        return;
    }
    // No SA_RESTART: a wait for a FIFO's reader, a lock or a full pipe is
    // interrupted, so the stop is seen there too.
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

void TStopSignal::Install() {
    Catch(SIGINT);
    Catch(SIGTERM);
    Catch(SIGHUP);
    // A file-size limit makes a write fail (EFBIG) like a full disk, so the
    // temporary file goes and the old CSV stays, instead of killing the run.
    ::signal(SIGXFSZ, SIG_IGN);
}

int TStopSignal::Received() {
    return received.load();
}
