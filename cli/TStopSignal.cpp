#include "TStopSignal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace {

// Lock-free, so the handler may set it and any thread may read it.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);
// The handler wakes the relay through this pipe.
int wakeFds[2] = {-1, -1};

// Interrupts a wait of the run's thread once its stop was asked.
int WakeSignal() {
    return SIGRTMIN;
}

void Wake() {
    const unsigned char byte = 0;
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &byte, 1);
}

extern "C" void OnStopSignal(int signal) {
    const int saved = errno;
    received.store(signal);
    // The next one is not asked, it ends the program.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(signal, &action, nullptr);
    Wake();
    errno = saved;
}

extern "C" void OnWakeSignal(int) {}

// No SA_RESTART: a wait for a FIFO's reader, a lock or a full pipe is
// interrupted, so the stop is seen there too.
void Handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void Catch(int signal) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
        return;
    }
    Handle(signal, OnStopSignal);
}

sigset_t StopSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&set, signal);
    }
    sigaddset(&set, WakeSignal());
    return set;
}

}  // namespace

void TStopSignal::Install() {
    if (wakeFds[0] < 0 && ::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakeFds[0] = wakeFds[1] = -1;
        return;
    }
    Handle(WakeSignal(), OnWakeSignal);
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

TStopSignal::TRelay::TRelay(std::stop_source run) {
    if (wakeFds[0] < 0) {
        return;  // nothing installed (tests): no signal asks the stop
    }
    // The relay takes no stop signal itself: they interrupt the run's waits.
    const sigset_t blocked = StopSignals();
    sigset_t old;
    ::pthread_sigmask(SIG_BLOCK, &blocked, &old);
    try {
        thread_ = std::jthread(Run, std::move(run), ::pthread_self());
    } catch (const std::system_error&) {
        // No thread to be had: a signal still ends the program (the second
        // one at once), only the orderly stop is lost.
    }
    ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

TStopSignal::TRelay::~TRelay() {
    if (thread_.joinable()) {
        thread_.request_stop();
        Wake();
    }
}

void TStopSignal::TRelay::Run(const std::stop_token& own, std::stop_source run, pthread_t waiter) {
    while (!own.stop_requested()) {
        if (Received() != 0) {
            run.request_stop();
            ::pthread_kill(waiter, WakeSignal());
            return;
        }
        pollfd p{wakeFds[0], POLLIN, 0};
        if (::poll(&p, 1, -1) > 0) {
            unsigned char byte = 0;
            while (::read(wakeFds[0], &byte, 1) == 1) {
            }
        }
    }
}
