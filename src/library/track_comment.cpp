#include "library/track_comment.h"

#include "library/row_access.h"
#include "library/stored_text.h"

namespace sonarch {

LibraryOutcome<std::string> LoadTrackComment(const LibraryStore& store,
                                             const std::string& databasePath,
                                             const std::string& discKey,
                                             const std::string& trackText) {
    return ReadColumn(store, databasePath, LibraryQuery::track(discKey, trackText), "trkCom",
                      WhichRow::Last);
}

LibraryOutcome<int> SaveTrackComment(const LibraryStore& store, const std::string& databasePath,
                                     const std::string& discKey, const std::string& trackText,
                                     const std::string& text) {
    return WriteColumn(store, databasePath, LibraryQuery::track(discKey, trackText), "trkCom",
                       FieldValue{FirstCharacters(text, kStoredCommentLength)});
}

}  // namespace sonarch
