#include "gui/base/TProgramEnd.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <new>
#include <system_error>

namespace {

std::atomic<int> requested{0};
// Asked on the window's thread (from the pipe's notice, or where memory ran
// out), never in a handler.
std::stop_source ended;
// The handler tells the window's thread through this pipe: it may not touch
// Qt itself.
int wakeFds[2] = {-1, -1};

extern "C" void OnEndSignal(int signal) {
    // The next one is not asked, it ends the program.
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(signal, &action, nullptr);
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[1], &number, 1);
}

void Catch(int signal) {
    struct sigaction old {};
    if (::sigaction(signal, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) {
        return;
    }
    struct sigaction action {};
    action.sa_handler = OnEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(signal, &action, nullptr);
}

}  // namespace

void TProgramEnd::InstallSignalHandlers() {
    if (wakeFds[0] >= 0 || ::pipe2(wakeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    auto* notifier =
        new QSocketNotifier(wakeFds[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        unsigned char number = 0;
        while (::read(wakeFds[0], &number, 1) == 1) {
            Request(128 + number);
        }
    });
    Catch(SIGINT);
    Catch(SIGTERM);
    Catch(SIGHUP);
}

void TProgramEnd::Request(int status) {
    int none = 0;
    if (requested.compare_exchange_strong(none, status)) {
        ended.request_stop();
        QCoreApplication::exit(status);
    }
}

bool TProgramEnd::Requested() {
    return requested.load() != 0;
}

int TProgramEnd::Status() {
    return requested.load();
}

std::stop_token TProgramEnd::Token() {
    return ended.get_token();
}

void TProgramEnd::Reset() {
    requested.store(0);
    ended = std::stop_source();
}

bool TProgramEnd::IsOutOfMemory(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return true;
    } catch (const std::system_error& e) {
        return e.code() == std::errc::resource_unavailable_try_again;
    } catch (...) {
        return false;
    }
}
