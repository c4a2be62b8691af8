#include "ui/skin_style.h"

#include <QPalette>
#include <QWidget>

namespace sonarch {

QColor toQColor(WinColour colour) {
    return QColor(int(colour & 0xff), int((colour >> 8) & 0xff), int((colour >> 16) & 0xff));
}

void setTextColour(QWidget* widget, WinColour colour) {
    const QColor wanted = toQColor(colour);
    QPalette palette = widget->palette();
    if (palette.color(QPalette::WindowText) == wanted && palette.color(QPalette::Text) == wanted) {
        return;
    }
    palette.setColor(QPalette::WindowText, wanted);
    palette.setColor(QPalette::Text, wanted);
    widget->setPalette(palette);
}

QFont pixelFont(int pixels, bool bold, const QString& family) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace sonarch
