#pragma once

#include "layout/twips.h"

namespace sonarch {

// Where a side window (comment editors, options, about box) opens, in twips: centred on
// the screen while the player is minimised; otherwise at the player's left edge, directly
// above the player when its top lies more than 2235 twips down the screen, else directly
// below it.
TwipPoint PlaceBesidePlayer(TwipRect player, bool playerMinimised, TwipSize screen,
                            TwipSize window);

}  // namespace sonarch
