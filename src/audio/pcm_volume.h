#pragma once

#include <cstdint>
#include <span>

namespace sonarch {

// Writes `pcm` (16-bit little-endian samples) to `out` at the mixer's `level`, 0 silent to
// 65000 full, linear: each sample times level / 65000, rounded towards zero, so a level
// gives the same samples whichever output plays them. `out` may be pcm.data() itself.
void ApplyVolume(std::span<const std::uint8_t> pcm, std::int32_t level, std::uint8_t* out);

}  // namespace sonarch
