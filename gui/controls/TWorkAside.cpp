#include "gui/controls/TWorkAside.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <exception>
#include <new>
#include <system_error>
#include <thread>

#include "base/VectorState.h"

namespace {

// How often the wait looks whether the work is done, should its own wake-up
// have found no memory.
constexpr int kCheckMs = 100;

// Keeps the user's input (and closing) away from a window while it waits;
// it still paints and its boxes still answer.
class TInputGuard : public QObject {
  public:
    explicit TInputGuard(QWidget* window) : window_(window) { qApp->installEventFilter(this); }
    ~TInputGuard() override { qApp->removeEventFilter(this); }
    TInputGuard(const TInputGuard&) = delete;
    TInputGuard& operator=(const TInputGuard&) = delete;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != window_) {
            return false;
        }
        switch (event->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Wheel:
            case QEvent::Close:
                event->ignore();
                return true;
            default:
                return false;
        }
    }

  private:
    QWidget* window_;
};

struct TJoin {
    std::thread& thread;
    ~TJoin() {
        if (thread.joinable()) {
            thread.join();
        }
    }
};

}  // namespace

void TWorkAside::Run(QWidget* window, const std::function<void()>& work,
                     const std::function<void()>& meanwhile) {
    TInputGuard guard(window);
    QEventLoop loop;
    std::atomic<bool> done{false};
    std::exception_ptr error;
    const auto run = [&] {
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        done = true;
    };
    std::thread worker;
    try {
        worker = std::thread([&] {
            // Started from a window's thread: drop what its vector registers held.
            vecstate::ClearUpperHalves();
            run();
            // Wakes the window's thread at once (run by its loop, even when the
            // loop starts only after this).
            try {
                QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
            } catch (const std::bad_alloc&) {
                // No memory for the wake-up: the loop's check below sees `done`.
            }
        });
    } catch (const std::system_error&) {
        // No thread to be had (a process limit): the work runs here, the
        // window waits without painting.
    }
    // Whatever throws on this side, the thread is waited for before the
    // loop it wakes and the data it works on go.
    const TJoin join(worker);
    if (meanwhile) {
        meanwhile();
    }
    if (!worker.joinable()) {
        run();
    } else if (!done) {
        QTimer check;
        QObject::connect(&check, &QTimer::timeout, &loop, [&] {
            if (done) {
                loop.quit();
            }
        });
        check.start(kCheckMs);
        loop.exec();
    }
    // A loop left early (the program ends) waits here for the work, which
    // checks for the end itself. Work done on this thread left none to wait
    // for (join() would throw).
    if (worker.joinable()) {
        worker.join();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}
