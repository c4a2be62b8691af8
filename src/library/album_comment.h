#pragma once

#include <string>

#include "library/library_outcome.h"
#include "library/library_store.h"

namespace sonarch {

// The album comment editor's text: aCom of the disc's first row; empty when the disc has
// no rows.
LibraryOutcome<std::string> LoadAlbumComment(const LibraryStore& store,
                                             const std::string& databasePath,
                                             const std::string& discKey);

// Stores the first 250 characters of `text` as aCom in every row of the disc, all or
// none. The value is the number of rows changed.
LibraryOutcome<int> SaveAlbumComment(const LibraryStore& store, const std::string& databasePath,
                                     const std::string& discKey, const std::string& text);

}  // namespace sonarch
