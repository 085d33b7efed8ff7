#include "gui/app/TAppLook.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QStyleFactory>

namespace {

bool HasDesktop() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace

void TAppLook::Apply() {
    if (HasDesktop()) {
        return;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QString family = QString::fromLatin1(FallbackFontFamily());
    if (!QFontDatabase::families().contains(family)) {
        family = QStringLiteral("IPAGothic");
    }
    QFont font(family);
    font.setPixelSize(13);
    QApplication::setFont(font);
}
