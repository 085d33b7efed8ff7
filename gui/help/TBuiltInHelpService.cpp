#include "gui/help/TBuiltInHelpService.h"

#include <QApplication>

#include "gui/help/THelpWindow.h"

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
    window_->FollowModal(QApplication::activeModalWidget());
    window_->ShowTopic(topic);
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void TBuiltInHelpService::Quit() {
    delete window_.data();
}

THelpWindow* TBuiltInHelpService::Window() const {
    return window_.data();
}
