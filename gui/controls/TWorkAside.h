#pragma once
// Runs long work (opening a large store, writing a large file) on a thread
// of its own while a window keeps painting but takes no input and cannot be
// closed; message boxes it opens meanwhile still answer.

#include <functional>

class QWidget;

class TWorkAside {
  public:
    // Returns when `work` is done and rethrows what it threw. `meanwhile`
    // runs on the window's thread once the work has started.
    static void Run(QWidget* window, const std::function<void()>& work,
                    const std::function<void()>& meanwhile = {});
};
