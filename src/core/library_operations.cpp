#include "core/library_operations.h"

#include <QCoreApplication>
#include <algorithm>
#include <climits>
#include <optional>
#include <vector>

#include "base/messages.h"
#include "base/number_text.h"
#include "device/mci/disc_key.h"
#include "library/library_store.h"
#include "library/stored_text.h"
#include "library/track_number.h"
#include "model/player_display.h"
#include "model/player_state.h"
#include "model/track_list.h"

namespace sonarch {

namespace {

constexpr int kNoticeRuns = 10;  // a library notice stays about five seconds

// A number the library keeps as text; none when the text holds no whole number. Numbers
// beyond an int are taken to its nearest end (a rating outside 1..10 draws no star anyway).
std::optional<int> numberOf(const std::string& stored) {
    const auto value = parseInteger(stored);
    if (!value) {
        return std::nullopt;
    }
    return static_cast<int>(std::clamp<std::int64_t>(*value, INT_MIN, INT_MAX));
}

}  // namespace

void LibraryOperations::GetCDToc() {
    const std::string& path = m_state.settings.databasePath;
    m_state.discInLibrary.reset();
    if (path.empty() || !LibraryStore::isAvailable(path)) {
        m_state.discInLibrary = false;
        return;
    }
    const Result<std::string> key =
        ComputeDiscKey(m_device, [] { QCoreApplication::processEvents(); });
    if (!key.ok()) {
        return;  // no table of contents: the lookup waits for the next disc
    }
    m_state.currentDiscKey = StoredDiscKey(key.value());
    const auto found = m_library.disc(path, m_state.currentDiscKey).readTracks();
    if (found.status == LibraryStatus::Done || !found.value.empty()) {
        m_state.discInLibrary = !found.value.empty();
    }
    std::vector<TrackRow> rows;
    for (const TrackRecord& record : found.value) {
        rows.push_back({numberOf(record.trkNum), record.trkTime, record.trkTitle, record.trkArtist,
                        record.album, 0, numberOf(record.rating)});
    }
    // After a failure the last row read may lack its cover.
    const std::size_t withCover =
        found.status == LibraryStatus::Failed && !rows.empty() ? rows.size() - 1 : rows.size();
    for (std::size_t i = 0; i < withCover; ++i) {
        m_state.coverPath = found.value[i].cover;
    }
    // The rows read so far stay, even when the library failed half way.
    m_tracks.replace(std::move(rows));
    if (found.status == LibraryStatus::Failed) {
        m_display.showNotice(found.error, kNoticeRuns);
    }
}

bool LibraryOperations::available() const {
    return LibraryStore::isAvailable(m_state.settings.databasePath);
}

RatingOutcome LibraryOperations::SetTrackRating(int track, std::int16_t rating) {
    if (m_state.discInLibrary == false) {
        // Nothing to write to (the key may be an earlier disc's, if none was computed).
        return available() ? RatingOutcome::NotInLibrary : RatingOutcome::NoLibrary;
    }
    const auto written = m_library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
                             .setRating(FormatTrackNumber(track), rating);
    if (written.status == LibraryStatus::Unavailable) {
        return RatingOutcome::NoLibrary;  // not even the list or the stars change
    }
    if (written.status == LibraryStatus::Failed) {
        m_messages.showMessage(written.error);
        return RatingOutcome::Failed;
    }
    if (written.value == 0) {
        // Removed from the library since the lookup: showing the stars would claim a
        // rating that is kept nowhere.
        return RatingOutcome::NotInLibrary;
    }
    m_tracks.setRating(track, rating);
    if (track == m_state.currentTrack && m_state.settings.showRating) {
        m_display.setStars(rating);
    }
    return RatingOutcome::Stored;
}

std::string LibraryOperations::loadTrackComment(int track) {
    const auto loaded = m_library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
                            .trackComment(FormatTrackNumber(track));
    if (loaded.status == LibraryStatus::Failed) {
        m_messages.showMessage(loaded.error);
    }
    return loaded.value;
}

std::string LibraryOperations::loadAlbumComment() {
    const auto loaded =
        m_library.disc(m_state.settings.databasePath, m_state.currentDiscKey).albumComment();
    if (loaded.status == LibraryStatus::Failed) {
        m_messages.showMessage(loaded.error);
    }
    return loaded.value;
}

bool LibraryOperations::saveTrackComment(int track, const std::string& text) {
    const auto saved = m_library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
                           .setTrackComment(FormatTrackNumber(track), text);
    if (saved.status == LibraryStatus::Failed) {
        m_messages.showMessage(saved.error);
    }
    return saved.status == LibraryStatus::Done;
}

bool LibraryOperations::saveAlbumComment(const std::string& text) {
    const auto saved =
        m_library.disc(m_state.settings.databasePath, m_state.currentDiscKey).setAlbumComment(text);
    if (saved.status == LibraryStatus::Failed) {
        m_messages.showMessage(saved.error);
    }
    return saved.status == LibraryStatus::Done;
}

std::string LibraryOperations::trackComment(int track) const {
    if (track < 1 || !available()) {
        return {};
    }
    const auto comment = m_library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
                             .trackComment(FormatTrackNumber(track));
    return comment.status == LibraryStatus::Done ? comment.value : std::string();
}

}  // namespace sonarch
