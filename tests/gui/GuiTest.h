#pragma once
// Helpers for driving widgets as a user would under the offscreen platform.

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QWidget>
#include <string>

#include "TestText.h"
#include "gui/base/THelpService.h"
#include "gui/base/TQtText.h"
#include "gui/base/TScriptedModalService.h"

inline QString Q(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// Types any text, one key event per character (QTest::keyClicks knows ASCII only).
inline void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Clicks a check box, radio button or push button on its label, as the mouse would.
inline void Click(QAbstractButton* button) {
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
}

inline void ShowActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    (void)QTest::qWaitForWindowActive(&window, 1000);
}

template <class W>
W* Find(const QWidget& parent, const char* name) {
    W* widget = parent.findChild<W*>(QString::fromLatin1(name));
    if (widget == nullptr) {
        ADD_FAILURE() << "no widget " << name;
    }
    return widget;
}

// Installs a scripted modal seam and a recording help service for one test.
class GuiFixture : public ::testing::Test {
  protected:
    TScriptedModalService modal;
    TRecordingHelpService help;

  private:
    TModalServiceScope modalScope_{modal};
    THelpServiceScope helpScope_{help};
};
