#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sonarch {

// "mm:ss:ff" for a count of frames (75 per second); minutes grow past two digits.
std::string formatMsf(std::int32_t frames);
// "tt:mm:ss:ff": a track number and a count of frames into that track.
std::string formatTmsf(int track, std::int32_t frames);
// Reads "mm:ss:ff" (each part one or more digits, seconds < 60, frames < 75).
std::optional<std::int32_t> parseMsf(std::string_view text);

}  // namespace sonarch
