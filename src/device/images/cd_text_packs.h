#pragma once

#include <cstdint>
#include <vector>

#include "device/images/disc_text.h"

namespace sonarch {

// The CD-TEXT in raw packs that came with a disc image (see CdTextFromPacks), read in a
// child process of its own with bounded time and memory: damaged packs cost the disc its
// texts, never the player. Nothing, quickly, for no packs.
DiscText ReadCdTextPacks(const std::vector<std::uint8_t>& packs, int lastTrack);

}  // namespace sonarch
