#pragma once

#include <QByteArray>

#include <string>
#include <vector>

#include "base/result.h"
#include "lookup/musicbrainz_disc.h"

namespace sonarch {

struct ReleaseTrack {
    std::string title;
    std::string artist;
};

// A release that holds the disc, with the tracks of its medium that matches the disc.
// Every text is a stored name (StoredName), empty where the service gives none; the id
// is a well-formed MusicBrainz ID.
struct Release {
    std::string id;
    std::string title;
    std::string artist;
    std::string date;     // "1997-09-22", "1997-09" or "1997"
    std::string country;  // "DE", "XE" (Europe), ...
    std::string label;    // the first label named
    std::string catalogNumber;
    std::string barcode;
    bool hasFrontCover = false;  // the Cover Art Archive holds a front cover
    std::vector<ReleaseTrack> tracks;
};

// Reads the web service's answer to a disc ID or TOC lookup (JSON, with recordings,
// artist credits and labels). A release keeps the medium that carries the disc ID, else the first
// whose track count is the disc's; a release with neither is left out.
Result<std::vector<Release>> ParseDiscLookup(const QByteArray& json, const MusicBrainzDisc& disc);

// True for a MusicBrainz ID: 36 characters of lower-case hexadecimal digits and hyphens.
bool IsMusicBrainzId(const std::string& text);

}  // namespace sonarch
