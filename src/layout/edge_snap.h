#pragma once

#include "layout/twips.h"

namespace sonarch {

// Where the player window goes after a move over its background: pulled to the top, left
// and right edges of the screen when within 200 twips of them, and kept 450 twips above
// the bottom (room for a taskbar) when it comes within 580. Each rule sees the place the
// one before it gave. All in twips; `screen` is the screen's own rectangle.
TwipPoint SnapToScreenEdges(TwipRect window, TwipRect screen);

}  // namespace sonarch
