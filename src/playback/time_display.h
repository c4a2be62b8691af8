#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "model/player_state.h"

namespace sonarch {

// The captions of one time display refresh. A caption whose computation fails (a track
// outside the disc) is left out, and the window keeps what it showed.
struct TimeCaptions {
    std::optional<std::string> time;      // timeWindow and BarTime
    std::optional<std::string> track;     // lTrack: "Track 03 - [04:12]"
    std::optional<std::string> barTrack;  // Bartrack: "03 - [04:12]"
    std::string totalTime;                // ltTime
    std::string barTotal;                 // BarTotal: "[12 - 45:10]"
    std::string trackCount;               // lCount: "12"
    std::optional<int> progressPercent;   // the fills' width, when it may be drawn
};

// "03:07" from the position the poll read.
std::string elapsedText(const PlayerState& state);

TimeCaptions refreshTimeDisplay(const PlayerState& state, const std::string& elapsed);

// Seconds of all tracks before the current one.
float PrevTime(const PlayerState& state);
// Milliseconds of all tracks before track `trk`, counted from the start of track 1.
std::int32_t GetCurrentframe(const PlayerState& state, int trk);
// The fill width for sCurrent of sTotal, or nothing when it is not to be drawn (over
// 100 %, a zero total, an overflow).
std::optional<int> ShowProgress(std::int32_t sTotal, std::int32_t sCurrent);

// Advances the display mode on a click of the time display; returns the new tooltip, or
// nothing when no mode was set and the click changes nothing.
std::optional<std::string> cycleTimeMode(Settings& settings);

}  // namespace sonarch
