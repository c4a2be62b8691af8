#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/mci/device_layer.h"
#include "model/settings.h"

namespace sonarch {

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
    // Whether the last lookup found the disc's rows in the library; nothing when it could
    // not tell (the library or the disc's key could not be read).
    std::optional<bool> discInLibrary;
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
