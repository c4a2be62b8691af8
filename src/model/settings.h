#pragma once

#include <cstdint>
#include <string>

#include "library/library_choice.h"

namespace sonarch {

inline constexpr std::int32_t kDefaultVolume = 34000;

// What the time display shows: the time of the track or of the disc, elapsed or remaining.
enum class TimeMode { TrackElapsed, TrackRemaining, TotalElapsed, TotalRemaining };

// The settings kept in "player.dat", in the order of its lines.
struct Settings {
    std::string databasePath = kNoDatabase;     // 1
    bool alwaysOnTop = true;                    // 2
    bool continuousPlay = false;                // 3
    bool showTrackElapsed = true;               // 4
    bool showTrackRemaining = false;            // 5
    bool trackListShown = false;                // 6
    bool barMode = false;                       // 7
    bool inTray = false;                        // 8
    std::int32_t windowLeft = 0;                // 9, twips
    std::int32_t windowTop = 0;                 // 10, twips
    std::int32_t seekStep = 10;                 // 11, seconds
    std::int32_t volumeLevel = kDefaultVolume;  // 12, 0..65000
    bool showRating = true;                     // 13
    bool showTotalElapsed = false;              // 14
    bool showTotalRemaining = false;            // 15

    bool operator==(const Settings&) const = default;
};

}  // namespace sonarch
