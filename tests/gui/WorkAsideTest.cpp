#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <atomic>
#include <stdexcept>
#include <thread>

#include "GuiTest.h"
#include "gui/controls/TWorkAside.h"

// The work runs on another thread while the window's events go on (a timer
// fires, typing is kept away), `meanwhile` runs on the window's thread, and
// what the work throws reaches the caller.
TEST(WorkAside, WorkRunsBesideTheWindowWhichTakesNoInput) {
    QLineEdit window;
    window.show();
    const std::thread::id windowThread = std::this_thread::get_id();
    std::thread::id workThread, meanwhileThread;
    std::atomic<bool> release{false};
    bool ticked = false;
    QTimer::singleShot(10, [&] {
        ticked = true;
        QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
        QCoreApplication::sendEvent(&window, &key);
        release = true;
    });
    TWorkAside::Run(
        &window,
        [&] {
            workThread = std::this_thread::get_id();
            while (!release) {
                std::this_thread::yield();
            }
        },
        [&] { meanwhileThread = std::this_thread::get_id(); });
    EXPECT_NE(workThread, windowThread);
    EXPECT_EQ(meanwhileThread, windowThread);
    EXPECT_TRUE(ticked) << "the window's events went on";
    EXPECT_EQ(window.text(), "") << "typing was kept away";

    EXPECT_THROW(TWorkAside::Run(&window, [] { throw std::runtime_error("store unreadable"); }),
                 std::runtime_error);
}
