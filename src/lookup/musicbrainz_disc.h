#pragma once

#include <string>

#include "base/result.h"
#include "device/drives/drive.h"

namespace sonarch {

// The disc as MusicBrainz knows it: its disc ID and its table of contents in the form the
// web service's toc= parameter takes ("first+last+leadout+offset+...").
struct MusicBrainzDisc {
    std::string id;
    std::string toc;
    int firstTrack = 0;  // the audio tracks MusicBrainz counts
    int lastTrack = 0;
};

// Computed by libdiscid from the audio tracks: data tracks after the last audio track are
// left out, and the audio ends 11400 sectors (the gap of a second session) before the data.
Result<MusicBrainzDisc> MusicBrainzDiscOf(const DiscToc& toc);

}  // namespace sonarch
