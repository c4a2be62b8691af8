#pragma once

#include "layout/twips.h"

namespace sonarch {

// Where LoadImage puts the cover image inside the cover panel: a picture smaller than the
// panel keeps its natural size, a larger one shrinks to fit with its proportions kept, and
// the image is centred. A picture with no width or height keeps the previous size, centred.
// All sizes in whole twips (a picture's pixels times 15).
TwipRect FitCoverImage(TwipSize panel, TwipSize picture, TwipRect previous);

}  // namespace sonarch
