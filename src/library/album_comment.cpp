#include "library/album_comment.h"

#include "library/row_access.h"
#include "library/stored_text.h"

namespace sonarch {

LibraryOutcome<std::string> LoadAlbumComment(const LibraryStore& store,
                                             const std::string& databasePath,
                                             const std::string& discKey) {
    return ReadColumn(store, databasePath, LibraryQuery::disc(discKey), "aCom", WhichRow::First);
}

LibraryOutcome<int> SaveAlbumComment(const LibraryStore& store, const std::string& databasePath,
                                     const std::string& discKey, const std::string& text) {
    return WriteColumn(store, databasePath, LibraryQuery::disc(discKey), "aCom",
                       FieldValue{FirstCharacters(text, kStoredCommentLength)});
}

}  // namespace sonarch
