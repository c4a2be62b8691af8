#pragma once

#include <optional>
#include <span>
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

// How a control of the player window looks, besides its place and picture.
enum class ControlLook {
    Picture,       // a skin picture, drawn from the top left
    Plain,         // a plain box (the rating stars)
    Letter,        // the option letters O, P, C, R, I
    Status,        // the status line
    Number,        // the track numbers 1 to 10
    More,          // ">>", the more-tracks label
    Time,          // the time display
    TrackCaption,  // "Track 03 - [04:12]"
    DiscCaption,   // the disc's length and track count
    BarCaption,    // the bar layout's strip
    BarTime,
};

// The part of the window that makes and handles the control.
enum class ControlPart { Window, VolumeBar, ProgressBar, StarRating, TrackNumbers, CoverPanel };

// A control of the player window as designed (its place is in the place table).
struct ControlDefinition {
    std::string_view name;
    ControlPart part;
    ControlLook look;
    std::string_view slot;  // the skin picture it shows at first, "" for none
    std::string_view caption;
    std::string_view tooltip;
    bool hidden = false;  // until a layout or the player shows it
};

// The controls of the player window in the order they are made: where two overlap, the
// later lies above.
std::span<const ControlDefinition> windowControls();
// A control's definition, or null for a name the window does not define.
const ControlDefinition* controlDefinition(std::string_view control);

}  // namespace sonarch
