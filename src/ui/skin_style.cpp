#include "ui/skin_style.h"

#include <QMenu>
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

void styleMenu(QMenu* menu) {
    menu->setStyleSheet(
        "QMenu { background: #0e1a48; color: #cfe6ff; border: 1px solid #3a56aa;"
        " padding: 2px; }"
        "QMenu::item { padding: 3px 24px 3px 16px; background: transparent; }"
        "QMenu::item:selected { background: #1d3a8c; color: #00ffff; }"
        "QMenu::item:disabled { color: #56658f; }"
        "QMenu::item:disabled:selected { background: transparent; }"
        "QMenu::separator { height: 1px; background: #3a56aa; margin: 3px 6px; }");
}

QFont pixelFont(int pixels, bool bold, const QString& family) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

}  // namespace sonarch
