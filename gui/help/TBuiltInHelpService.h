#pragma once
// Help as the program ships it: the pages compiled into it, shown in one help
// window that opens on first use and comes to the front on every request.

#include <QPointer>

#include "gui/base/THelpService.h"

class THelpWindow;

class TBuiltInHelpService : public THelpService {
  public:
    TBuiltInHelpService() = default;
    ~TBuiltInHelpService() override;
    TBuiltInHelpService(const TBuiltInHelpService&) = delete;
    TBuiltInHelpService& operator=(const TBuiltInHelpService&) = delete;

    void ShowTopic(int topic) override;
    void Quit() override;

    // The window, when it is open.
    THelpWindow* Window() const;

  private:
    QPointer<THelpWindow> window_;
};
