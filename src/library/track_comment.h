#pragma once

#include <string>

#include "library/library_outcome.h"
#include "library/library_store.h"

namespace sonarch {

// The track comment editor's text: trkCom of the track's last matching row (`trackText`
// as FormatTrackNumber gives it); empty when the track has no row.
LibraryOutcome<std::string> LoadTrackComment(const LibraryStore& store,
                                             const std::string& databasePath,
                                             const std::string& discKey,
                                             const std::string& trackText);

// Stores the first 250 characters of `text` as trkCom in every row of the track, all or
// none. The value is the number of rows changed.
LibraryOutcome<int> SaveTrackComment(const LibraryStore& store, const std::string& databasePath,
                                     const std::string& discKey, const std::string& trackText,
                                     const std::string& text);

}  // namespace sonarch
