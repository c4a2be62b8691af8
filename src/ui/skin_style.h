#pragma once

#include <QColor>
#include <QFont>
#include <QString>

#include "core/colours.h"

class QWidget;

namespace sonarch {

// A colour of the window definition (0x00BBGGRR) as Qt takes it.
QColor toQColor(WinColour colour);
// The foreground of a label or a text field; nothing is written when it is already so.
void setTextColour(QWidget* widget, WinColour colour);
QFont pixelFont(int pixels, bool bold = false, const QString& family = "DejaVu Sans");

}  // namespace sonarch
