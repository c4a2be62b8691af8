#include "library/track_rating.h"

#include "library/row_access.h"

namespace sonarch {

LibraryOutcome<int> WriteTrackRating(const LibraryStore& store, const std::string& databasePath,
                                     const std::string& discKey, const std::string& trackText,
                                     std::int16_t rating) {
    return WriteColumn(store, databasePath, LibraryQuery::track(discKey, trackText), "Rating",
                       FieldValue{std::int64_t{rating}});
}

}  // namespace sonarch
