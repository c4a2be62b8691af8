#pragma once

#include <cstdint>

namespace sonarch {

// Colours as the player's window definition gives them: 0x00BBGGRR.
using WinColour = std::uint32_t;

inline constexpr WinColour kOptionOn = 0xFFFF00;      // cyan
inline constexpr WinColour kOptionOff = 0x808000;     // teal
inline constexpr WinColour kCurrentTrack = 0xFFFF00;  // cyan
inline constexpr WinColour kOtherTrack = 0x00FFFF;    // yellow
inline constexpr WinColour kNoTrack = 0x00C0C0;       // dim
inline constexpr WinColour kPressedTrack = 0xFFFFFF;  // white

}  // namespace sonarch
