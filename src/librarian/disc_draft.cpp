#include "librarian/disc_draft.h"

#include "base/number_text.h"

namespace sonarch {

DiscDraft DraftOfRows(const std::vector<LibraryRow>& rows) {
    DiscDraft draft;
    if (rows.empty()) {
        return draft;
    }
    const LibraryRow& first = rows.front();
    draft = {first.cddbToc, first.album, first.aCom, first.cover, {}};
    for (const LibraryRow& row : rows) {
        const int number = int(parseInteger(row.trkNum).value_or(0));
        draft.tracks.push_back(
            {number, row.trkTime, row.trkTitle, row.trkArtist, row.rating, row.trkCom});
    }
    return draft;
}

DiscDraft DraftOfEntry(const DiscEntry& entry) {
    DiscDraft draft{entry.key, entry.album, entry.albumComment, entry.cover, {}};
    for (std::size_t i = 0; i < entry.tracks.size(); ++i) {
        const TrackEntry& track = entry.tracks[i];
        draft.tracks.push_back(
            {int(i + 1), track.time, track.title, track.artist, track.rating, track.comment});
    }
    return draft;
}

DiscEntry EntryOfDraft(const DiscDraft& draft) {
    DiscEntry entry{draft.key, draft.album, draft.cover, draft.albumComment, {}};
    for (const TrackDraft& track : draft.tracks) {
        entry.tracks.push_back(
            {track.time, track.title, track.artist, track.rating, track.comment});
    }
    return entry;
}

std::optional<DiscEdit> EditBetween(const DiscDraft& before, const DiscDraft& after) {
    DiscEdit edit;
    bool changed = false;
    // A field that differs is given, and the edit is one to make.
    auto take = [&changed](auto& field, const auto& was, const auto& now) {
        if (was != now) {
            field = now;
            changed = true;
        }
    };
    take(edit.album, before.album, after.album);
    take(edit.albumComment, before.albumComment, after.albumComment);
    take(edit.cover, before.cover, after.cover);
    for (std::size_t i = 0; i < after.tracks.size() && i < before.tracks.size(); ++i) {
        const TrackDraft& was = before.tracks[i];
        const TrackDraft& now = after.tracks[i];
        if (was == now) {
            continue;
        }
        TrackEdit track;
        track.track = now.number;
        take(track.title, was.title, now.title);
        take(track.artist, was.artist, now.artist);
        take(track.comment, was.comment, now.comment);
        take(track.rating, was.rating, now.rating);
        edit.tracks.push_back(track);
    }
    return changed ? std::optional(edit) : std::nullopt;
}

std::string RatingText(int rating) {
    if (rating <= 0) {
        return "Not rated";
    }
    if (rating == 1) {
        return "Half a star";
    }
    const std::string whole = std::to_string(rating / 2);
    const std::string half = rating % 2 ? "\u00bd" : "";
    return whole + half + (rating == 2 ? " star" : " stars");
}

}  // namespace sonarch
