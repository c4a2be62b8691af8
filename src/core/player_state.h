#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/audio_output.h"
#include "device/device_layer.h"
#include "library/library_store.h"

namespace sonarch {

inline constexpr std::int32_t kDefaultVolume = 34000;

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

// The player's one shared state, owned by the player window for the life of the process.
struct PlayerState {
    // Device and disc.
    bool doorOpen = false;
    // An eject sent that the drive has not carried out yet: its tray takes a moment, and
    // may stay shut. The poll follows it.
    bool ejectAsked = false;
    bool discLookupPending = false;
    bool discLoaded = false;
    std::int16_t trackCount = 0;
    std::vector<std::string> trackLengths;  // mm:ss of tracks 1..trackCount, at index track - 1
    std::string discLengthText;
    std::int16_t currentTrack = 0;
    std::int16_t positionMinutes = 0;
    std::int16_t positionSeconds = 0;
    std::string currentDiscKey;
    std::string coverPath;
    std::string commandText;
    DeviceError deviceError;

    // Playback flags: the user's last transport command, corrected by the poll.
    bool playing = false;
    bool paused = false;
    bool stopped = false;
    std::int16_t blinkCounter = 1;
    std::optional<std::int16_t> ratingShownForTrack;  // empty until the first refresh
    std::int16_t commentTrack = 0;

    // The volume bar's filled share in percent, as last drawn.
    double volumePercent = 0;

    Settings settings;

    // The length text of a track, or nothing when the track is outside the disc.
    const std::string* trackLength(int track) const {
        if (track < 1 || track > static_cast<int>(trackLengths.size())) {
            return nullptr;
        }
        return &trackLengths[std::size_t(track - 1)];
    }
};

}  // namespace sonarch
