#pragma once

#include <QRect>
#include <vector>

#include "layout/twips.h"
#include "layout/window_places.h"

class QWidget;

namespace sonarch {

QRect toPixelRect(const TwipRect& twips);
TwipRect toTwipRect(const QRect& pixels);
// The size of the screen the widget is on (or of the main screen), in twips.
TwipSize screenTwips(const QWidget* widget);
// The usable area (without panels) of every screen, in twips, the main screen first.
std::vector<TwipRect> screenAreasTwips();

}  // namespace sonarch
