#include "lookup/release_entry.h"

namespace sonarch {

Result<DiscEntry> ReleaseDiscEntry(const DriveDisc& disc, const Release& release) {
    using R = Result<DiscEntry>;
    DiscEntry entry = UnnamedDiscEntry(disc);
    std::size_t next = 0;
    for (std::size_t i = 0; i < entry.tracks.size(); ++i) {
        TrackEntry& track = entry.tracks[i];
        const bool audio = i >= disc.toc.tracks.size() || disc.toc.tracks[i].audio;
        if (audio && next < release.tracks.size()) {
            const ReleaseTrack& named = release.tracks[next];
            track.title = named.title.empty() ? track.title : named.title;
            track.artist = named.artist.empty() ? track.artist : named.artist;
        }
        next += audio ? 1 : 0;
    }
    if (next != release.tracks.size()) {
        return R::failure(
            "the release " + release.id + " has " + std::to_string(release.tracks.size()) +
            " tracks on this disc but the disc has " + std::to_string(next) + " audio tracks.");
    }
    entry.album = release.title;
    return R::success(std::move(entry));
}

}  // namespace sonarch
