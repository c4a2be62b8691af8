#pragma once

#include <optional>
#include <string>
#include <vector>

#include "library/disc_entry.h"
#include "library/library_file.h"

namespace sonarch {

// One track of a disc as the library window edits it.
struct TrackDraft {
    int number = 0;
    std::string time;  // mm:ss; not edited
    std::string title;
    std::string artist;
    int rating = 0;  // 0 (not rated) to 10
    std::string comment;

    bool operator==(const TrackDraft&) const = default;
};

// A disc as the library window edits it: every field the library keeps of it.
struct DiscDraft {
    std::string key;
    std::string album;
    std::string albumComment;
    std::string cover;  // an absolute path, or empty
    std::vector<TrackDraft> tracks;

    bool operator==(const DiscDraft&) const = default;
};

// The disc as the library holds it: album, album comment and cover from its first row, one
// track per row in track order.
DiscDraft DraftOfRows(const std::vector<LibraryRow>& rows);
// A disc about to be added.
DiscDraft DraftOfEntry(const DiscEntry& entry);
DiscEntry EntryOfDraft(const DiscDraft& draft);

// What changed between two drafts of the same disc, as one change to the library; nothing
// when nothing changed.
std::optional<DiscEdit> EditBetween(const DiscDraft& before, const DiscDraft& after);

// "Not rated", "Half a star", "1 star", "1½ stars" ... "5 stars": a rating of 0 to 10 in
// half stars, in words a screen reader reads well.
std::string RatingText(int rating);

}  // namespace sonarch
