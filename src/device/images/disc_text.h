#pragma once

#include <string>
#include <vector>

namespace sonarch {

// What a disc says about itself in CD-TEXT, as UTF-8. An empty text means the disc does
// not say. `tracks` holds tracks 1..N at index track - 1 (fewer when the disc gives fewer).
struct TrackText {
    std::string title;
    std::string performer;

    bool operator==(const TrackText&) const = default;
};

struct DiscText {
    std::string title;      // the album
    std::string performer;  // the album's artist
    std::vector<TrackText> tracks;

    bool empty() const {
        for (const TrackText& track : tracks) {
            if (!track.title.empty() || !track.performer.empty()) {
                return false;
            }
        }
        return title.empty() && performer.empty();
    }
    bool operator==(const DiscText&) const = default;
};

// Where the player asks for the CD-TEXT of the disc now in the drive (window thread).
// A drive without CD-TEXT, or a disc without it, gives an empty DiscText.
class DiscTextSource {
public:
    virtual ~DiscTextSource() = default;
    virtual DiscText discText() = 0;
};

}  // namespace sonarch
