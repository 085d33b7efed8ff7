#include "gui/base/TScreenFit.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

void TScreenFit::Fit(QWidget& window) {
    const QScreen* screen = window.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->availableGeometry();
    // The frame the desktop draws (known once the window is shown) counts too.
    const QSize frame = window.frameGeometry().size() - window.geometry().size();
    const QSize room = (area.size() - frame).expandedTo(QSize(1, 1));
    if (window.minimumWidth() > room.width() || window.minimumHeight() > room.height()) {
        window.setMinimumSize(window.minimumSize().boundedTo(room));
    }
    if (window.maximumWidth() > room.width() || window.maximumHeight() > room.height()) {
        window.setMaximumSize(window.maximumSize().boundedTo(room));
    }
    if (window.width() > room.width() || window.height() > room.height()) {
        window.resize(window.size().boundedTo(room));
    }
    const QRect outer = window.frameGeometry();
    const int left = std::clamp(outer.left(), area.left(), area.right() + 1 - outer.width());
    const int top = std::clamp(outer.top(), area.top(), area.bottom() + 1 - outer.height());
    if (left != outer.left() || top != outer.top()) {
        window.move(left, top);
    }
}
