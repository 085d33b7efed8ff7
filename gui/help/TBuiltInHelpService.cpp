#include "gui/help/TBuiltInHelpService.h"

#include <QApplication>
#include <QScreen>

#include "gui/base/TScreenFit.h"
#include "gui/help/THelpWindow.h"

namespace {

// A help window opens beside the window it explains, on the side with more
// room, never under it or at the screen's corner.
void PlaceBeside(QWidget& help, const QWidget* owner) {
    if (owner == nullptr || owner == &help) {
        return;
    }
    const QRect frame = owner->frameGeometry();
    const QScreen* screen = owner->screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    const int rightRoom = area.right() - frame.right();
    const int leftRoom = frame.left() - area.left();
    const int x = rightRoom >= leftRoom ? frame.right() + 1 : frame.left() - help.width();
    help.move(x, frame.top());
}

}  // namespace

TBuiltInHelpService::~TBuiltInHelpService() {
    // Windows cannot outlive the application object; after it is gone the
    // process is ending anyway.
    if (QCoreApplication::instance() != nullptr) {
        Quit();
    }
}

void TBuiltInHelpService::ShowTopic(int topic) {
    if (window_ == nullptr) {
        window_ = new THelpWindow;
        window_->setAttribute(Qt::WA_DeleteOnClose);
        // The window must go before the application object does.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window_, &QObject::deleteLater);
    }
    const bool first = !window_->isVisible();
    window_->FollowModal(QApplication::activeModalWidget());
    window_->ShowTopic(topic);
    if (first) {
        PlaceBeside(*window_, QApplication::activeWindow());
    }
    window_->show();
    TScreenFit::Fit(*window_);
    window_->raise();
    window_->activateWindow();
}

void TBuiltInHelpService::Quit() {
    delete window_.data();
}

THelpWindow* TBuiltInHelpService::Window() const {
    return window_.data();
}
