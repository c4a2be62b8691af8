#pragma once

#include <cstdint>
#include <optional>

namespace sonarch {

// The filled share of the volume bar in percent for lngVol of lngTotal, as IndicateVol
// draws it.
double volumeBarPercent(std::int32_t lngTotal, std::int32_t lngVol);
// The share drawn for a mixer level (0..65000).
double volumeBarPercentOfLevel(std::int32_t level);
// The fill's top in bar units (0 at the top, 100 at the bottom), or nothing at 100 % and
// above, where the fill stays where it was.
std::optional<double> volumeFillTop(double percent);

// The level after a press of up or down, stepping 3000 from the bar's share.
std::int32_t volumeStepUp(double volumePercent);
std::int32_t volumeStepDown(double volumePercent);

struct PointerVolume {
    std::int32_t level = 0;
    std::int32_t barTotal = 0;  // IndicateVol's arguments: the bar is drawn from the pointer
    std::int32_t barVol = 0;
};
// The level for a pointer at height y (bar units, scaleHeight high) in the volume bar.
PointerVolume volumeAtPointer(float y, float scaleHeight);

}  // namespace sonarch
