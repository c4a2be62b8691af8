#include "audio/pcm_volume.h"

#include <cstring>

#include "device/engine/audio_output.h"

namespace sonarch {

void ApplyVolume(std::span<const std::uint8_t> pcm, std::int32_t level, std::uint8_t* out) {
    const std::size_t bytes = pcm.size() - pcm.size() % 2;
    if (level == kFullVolume) {
        if (out != pcm.data()) {
            std::memmove(out, pcm.data(), bytes);
        }
        return;
    }
    for (std::size_t at = 0; at < bytes; at += 2) {
        const auto sample = static_cast<std::int16_t>(pcm[at] | (pcm[at + 1] << 8));
        const auto scaled = static_cast<std::uint16_t>(
            static_cast<std::int16_t>(std::int32_t{sample} * level / kFullVolume));
        out[at] = static_cast<std::uint8_t>(scaled & 0xff);
        out[at + 1] = static_cast<std::uint8_t>(scaled >> 8);
    }
}

}  // namespace sonarch
