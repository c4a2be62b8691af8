#pragma once

#include <cstdint>
#include <string>

#include "library/library_outcome.h"
#include "library/library_store.h"

namespace sonarch {

// The library half of SetTrackRating: stores `rating` in every row of the track
// (`trackText` as FormatTrackNumber gives it) of the disc `discKey`, all or none. The value
// is the number of rows changed; 0 for a track or disc not in the library.
LibraryOutcome<int> WriteTrackRating(const LibraryStore& store, const std::string& databasePath,
                                     const std::string& discKey, const std::string& trackText,
                                     std::int16_t rating);

}  // namespace sonarch
