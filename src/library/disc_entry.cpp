#include "library/disc_entry.h"

#include "library/stored_name.h"
#include "library/track_number.h"

namespace sonarch {

DiscEntry UnnamedDiscEntry(const DriveDisc& disc) {
    DiscEntry entry;
    entry.key = disc.key;
    for (std::size_t i = 0; i < disc.trackTimes.size(); ++i) {
        entry.tracks.push_back(
            {disc.trackTimes[i], "Track " + FormatTrackNumber(int(i + 1)), "Unknown", 0, {}});
    }
    return entry;
}

DiscEntry CdTextDiscEntry(const DriveDisc& disc) {
    DiscEntry entry = UnnamedDiscEntry(disc);
    const DiscText& text = disc.text;
    for (std::size_t i = 0; i < entry.tracks.size(); ++i) {
        TrackEntry& track = entry.tracks[i];
        const TrackText one = i < text.tracks.size() ? text.tracks[i] : TrackText{};
        if (!one.title.empty()) {
            track.title = StoredName(one.title);
        }
        const std::string& performer = one.performer.empty() ? text.performer : one.performer;
        if (!performer.empty()) {
            track.artist = StoredName(performer);
        }
    }
    entry.album = text.title.empty() ? "Unknown" : StoredName(text.title);
    return entry;
}

}  // namespace sonarch
