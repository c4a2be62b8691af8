#include "ui/placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace sonarch {

QRect toPixelRect(const TwipRect& twips) {
    return QRect(toPixels(twips.left), toPixels(twips.top), toPixels(twips.width),
                 toPixels(twips.height));
}

TwipRect toTwipRect(const QRect& pixels) {
    return {pixels.x() * kTwipsPerPixel, pixels.y() * kTwipsPerPixel,
            pixels.width() * kTwipsPerPixel, pixels.height() * kTwipsPerPixel};
}

TwipSize screenTwips(const QWidget* widget) {
    const QScreen* screen =
        widget && widget->screen() ? widget->screen() : QGuiApplication::primaryScreen();
    const QSize pixels = screen ? screen->geometry().size() : QSize(1920, 1080);
    return {pixels.width() * kTwipsPerPixel, pixels.height() * kTwipsPerPixel};
}

std::vector<TwipRect> screenAreasTwips() {
    std::vector<TwipRect> areas;
    for (const QScreen* screen : QGuiApplication::screens()) {
        areas.push_back(toTwipRect(screen->availableGeometry()));
    }
    return areas;
}

}  // namespace sonarch
