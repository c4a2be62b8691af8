#pragma once

#include <QByteArray>

#include <string>
#include <vector>

#include "base/result.h"
#include "qvlib/musicbrainz_disc.h"

namespace sonarch {

struct ReleaseTrack {
    std::string title;
    std::string artist;
};

// A release that holds the disc, with the tracks of its medium that matches the disc.
// Every text is a stored name (StoredName); the id is a well-formed MusicBrainz ID.
struct Release {
    std::string id;
    std::string title;
    std::string artist;
    std::string date;
    std::string country;
    bool hasFrontCover = false;
    std::vector<ReleaseTrack> tracks;
};

// Reads the web service's answer to a disc ID or TOC lookup (JSON, with recordings and
// artist credits). A release keeps the medium that carries the disc ID, else the first
// whose track count is the disc's; a release with neither is left out.
Result<std::vector<Release>> ParseDiscLookup(const QByteArray& json, const MusicBrainzDisc& disc);

// True for a MusicBrainz ID: 36 characters of lower-case hexadecimal digits and hyphens.
bool IsMusicBrainzId(const std::string& text);

}  // namespace sonarch
