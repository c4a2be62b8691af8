#pragma once

#include <cstdint>

namespace sonarch {

// The volume control of the player's own audio output: 0 (silent) to 65000 (full).
class Mixer {
public:
    virtual ~Mixer() = default;
    // False when no audio output can be opened; the player then says "Mixer can not open.".
    virtual bool open() = 0;
    // True when the output accepted the value.
    virtual bool setVolume(std::uint32_t level) = 0;
};

}  // namespace sonarch
