#pragma once

#include <vector>

#include "layout/twips.h"

namespace sonarch {

// Where a window stored at `window` starts, given the screens' usable areas now (all in
// twips). A place that leaves too little of it on any screen to take hold of (a monitor
// unplugged since, a screen that became smaller in twips with a higher scaling) moves the
// window onto the nearest screen, as little as it takes to be whole there (its top-left
// corner on the screen when it is larger than the screen); any other place is kept. With no
// screens known the place is kept.
TwipPoint PullOntoScreens(TwipRect window, const std::vector<TwipRect>& screens);

}  // namespace sonarch
