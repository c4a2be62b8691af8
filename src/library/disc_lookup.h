#pragma once

#include <string>
#include <vector>

#include "library/library_outcome.h"
#include "library/library_store.h"

namespace sonarch {

// One library row of a disc, every column as the track list shows it.
struct TrackRecord {
    std::string trkNum;
    std::string trkTime;
    std::string trkTitle;
    std::string trkArtist;
    std::string album;
    std::string rating;
    std::string cover;

    bool operator==(const TrackRecord&) const = default;
};

// The library half of GetCDToc: the rows of the disc whose stored key (its first 250
// characters, see StoredDiscKey) is `discKey`, in trkNum order. Unavailable when no
// library is chosen or the file is gone; Done with no rows for a disc not in the library;
// Failed, with nothing read, when the file is no usable library.
LibraryOutcome<std::vector<TrackRecord>> LookUpDisc(const LibraryStore& store,
                                                    const std::string& databasePath,
                                                    const std::string& discKey);

}  // namespace sonarch
