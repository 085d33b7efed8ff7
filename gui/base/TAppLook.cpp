#include "gui/base/TAppLook.h"

#include <QApplication>
#include <QFont>
#include <QFontDatabase>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// Fusion measures a menu item a little narrower than it draws it with some
// proportional fonts, which elides the longest caption of menus without
// shortcuts; two average characters of room more keep every caption whole.
class TFusionStyle : public QProxyStyle {
  public:
    TFusionStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        // Push buttons get room around their caption too: Fusion's own margin
        // lets a caption such as "キャンセル" touch the button's edges.
        if ((type == CT_MenuItem || type == CT_PushButton) && option != nullptr) {
            result.rwidth() += option->fontMetrics.averageCharWidth() * 2;
        }
        return result;
    }
};

bool HasDesktop() {
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

}  // namespace

void TAppLook::Apply(int pixelSize) {
    if (HasDesktop()) {
        return;
    }
    QApplication::setStyle(new TFusionStyle);
    QString family = QString::fromLatin1(FallbackFontFamily());
    if (!QFontDatabase::families().contains(family)) {
        family = QStringLiteral("IPAGothic");
    }
    QFont font(family);
    font.setPixelSize(pixelSize > 0 ? pixelSize : DefaultPixelSize);
    QApplication::setFont(font);
}
