#pragma once

#include <string>
#include <vector>

#include "library/drive_disc.h"

namespace sonarch {

// One track of a disc about to be added to a library.
struct TrackEntry {
    std::string time;  // mm:ss, the track's length as the player shows it
    std::string title;
    std::string artist;
    int rating = 0;  // 0 (not rated) to 10
    std::string comment;

    bool operator==(const TrackEntry&) const = default;
};

// A disc about to be added to a library: track N is tracks[N - 1]. Every row the disc
// gets holds the album, the cover and the album comment.
struct DiscEntry {
    std::string key;  // the disc key as libraries store it
    std::string album;
    std::string cover;  // the picture's absolute path, or empty
    std::string albumComment;
    std::vector<TrackEntry> tracks;

    bool operator==(const DiscEntry&) const = default;
};

// The disc with the names the player gives a disc it does not know ("Track 01" by
// "Unknown") and no album.
DiscEntry UnnamedDiscEntry(const DriveDisc& disc);

// The disc named by its CD-TEXT: a track's own performer, else the disc's; the album is
// the disc's title, else "Unknown". What the disc does not say keeps the player's names.
DiscEntry CdTextDiscEntry(const DriveDisc& disc);

}  // namespace sonarch
