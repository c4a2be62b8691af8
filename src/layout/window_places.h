#pragma once

#include <optional>
#include <string_view>

#include "layout/twips.h"

namespace sonarch {

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kWindowWidthTwips = 4875;
inline constexpr int kBarHeightTwips = 270;
inline constexpr int kNormalHeightTwips = 1760;
inline constexpr int kExpandedHeightTwips = 5255;

// The designed place of a control of the player window, in twips, in the normal and
// expanded layouts; nothing for a name the window does not place.
std::optional<TwipRect> designedPlace(std::string_view control);
// The places that differ in the bar layout (status pictures and logo).
std::optional<TwipRect> barPlace(std::string_view control);

// Twips to whole pixels, rounded to the nearest pixel.
int toPixels(int twips);

}  // namespace sonarch
