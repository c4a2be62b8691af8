#include "volume/volume_math.h"

#include "base/time_text.h"
#include "device/engine/audio_output.h"

namespace sonarch {

double volumeBarPercent(std::int32_t lngTotal, std::int32_t lngVol) {
    if (lngTotal == 0) {
        return 0;
    }
    const std::int64_t scaled = (std::int64_t{lngTotal} - lngVol) * 100;
    return double(scaled) / double(lngTotal);
}

double volumeBarPercentOfLevel(std::int32_t level) {
    return volumeBarPercent(kFullVolume, kFullVolume - level);
}

std::optional<double> volumeFillTop(double percent) {
    if (percent >= 100) {
        return std::nullopt;
    }
    return 100 - percent;
}

std::int32_t volumeStepUp(double volumePercent) {
    const auto level = roundHalfEven(volumePercent * kFullVolume / 100 + 3000);
    return static_cast<std::int32_t>(level > 64999 ? kFullVolume : level);
}

std::int32_t volumeStepDown(double volumePercent) {
    const auto level = roundHalfEven(volumePercent * kFullVolume / 100 - 3000);
    return static_cast<std::int32_t>(level < 1 ? 0 : level);
}

PointerVolume volumeAtPointer(float y, float scaleHeight) {
    auto yRounded = static_cast<std::int32_t>(roundHalfEven(y));
    if (yRounded < 1) {
        yRounded = 3;
    }
    const auto h = static_cast<std::int32_t>(roundHalfEven(scaleHeight));
    double fraction = h > 0 ? double(yRounded) / scaleHeight : 0.99;
    if (!(scaleHeight > float(yRounded))) {
        fraction = 0.99;
    }
    PointerVolume result;
    result.level = static_cast<std::int32_t>(roundHalfEven(kFullVolume - kFullVolume * fraction));
    result.barTotal = h;
    result.barVol = yRounded;
    return result;
}

}  // namespace sonarch
