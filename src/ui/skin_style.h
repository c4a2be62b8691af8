#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include "model/colours.h"

class QMenu;
class QWidget;

namespace sonarch {

// The deep navy of the skin's wells and lower area: the window's own background, seen
// where the window is taller than its background picture.
inline constexpr WinColour kWindowBackColour = 0x260C06;

// A colour of the window definition (0x00BBGGRR) as Qt takes it.
QColor toQColor(WinColour colour);
// The foreground of a label or a text field; nothing is written when it is already so.
void setTextColour(QWidget* widget, WinColour colour);
// Pop-up menus in the skin's colours: light text on navy, the item under the pointer in
// cyan, disabled items dimmed.
void styleMenu(QMenu* menu);
QFont pixelFont(int pixels, bool bold = false, const QString& family = "DejaVu Sans");

}  // namespace sonarch
