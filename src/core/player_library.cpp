// The session's library operations: the disc lookup, ratings and the two comments.
#include <QCoreApplication>

#include "core/player.h"
#include "device/mci/disc_key.h"
#include "library/stored_text.h"
#include "library/track_number.h"

namespace sonarch {

namespace {

constexpr int kNoticeRuns = 10;  // a library notice stays about five seconds

}  // namespace

void Player::GetCDToc() {
    const std::string& path = m_state.settings.databasePath;
    if (path.empty() || !LibraryStore::isAvailable(path)) {
        return;
    }
    // The key closes and reopens the device and lets pending events run meanwhile.
    const Result<std::string> key =
        ComputeDiscKey(m_device, [] { QCoreApplication::processEvents(); });
    if (!key.ok()) {
        return;  // no table of contents: the lookup waits for the next disc
    }
    m_state.currentDiscKey = StoredDiscKey(key.value());
    const auto found = m_services.library.disc(path, m_state.currentDiscKey).readTracks();
    std::vector<TrackRow> rows;
    for (const TrackRecord& record : found.value) {
        rows.push_back({record.trkNum, record.trkTime, record.trkTitle, record.trkArtist,
                        record.album, "0", record.rating});
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
        showLibraryNotice(found.error);
    }
}

void Player::showLibraryNotice(const std::string& text) {
    m_display.showNotice(text, kNoticeRuns);
}

void Player::refreshLibrary() {
    // The poll waits while the lookup runs; neither a poll nor a second lookup can start
    // inside it.
    suspendPolling();
    m_poll.runExclusive([this] { GetCDToc(); });
    resumePolling();
    afterRun();
}

bool Player::libraryAvailable() const {
    return LibraryStore::isAvailable(m_state.settings.databasePath);
}

void Player::SetTrackRating(std::int16_t rating, const std::string& trackText) {
    const auto written =
        m_services.library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
            .setRating(trackText, rating);
    if (written.status == LibraryStatus::Unavailable) {
        return;  // no library: not even the list or the stars change
    }
    if (written.status == LibraryStatus::Failed) {
        m_services.messages.showMessage(written.error);
        return;
    }
    m_tracks.setRating(m_state.currentTrack, std::to_string(rating));
    if (m_state.settings.showRating) {
        m_display.setStars(rating);
    }
}

void Player::rateCurrentTrack(int rating) {
    SetTrackRating(static_cast<std::int16_t>(rating), FormatTrackNumber(m_state.currentTrack));
}

std::string Player::loadTrackComment() {
    const auto loaded =
        m_services.library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
            .trackComment(FormatTrackNumber(m_state.commentTrack));
    if (loaded.status == LibraryStatus::Failed) {
        m_services.messages.showMessage(loaded.error);
    }
    return loaded.value;
}

std::string Player::loadAlbumComment() {
    const auto loaded =
        m_services.library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
            .albumComment();
    if (loaded.status == LibraryStatus::Failed) {
        m_services.messages.showMessage(loaded.error);
    }
    return loaded.value;
}

bool Player::saveTrackComment(const std::string& text) {
    const auto saved =
        m_services.library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
            .setTrackComment(FormatTrackNumber(m_state.commentTrack), text);
    if (saved.status == LibraryStatus::Failed) {
        m_services.messages.showMessage(saved.error);
    }
    return saved.status == LibraryStatus::Done;
}

bool Player::saveAlbumComment(const std::string& text) {
    const auto saved =
        m_services.library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
            .setAlbumComment(text);
    if (saved.status == LibraryStatus::Failed) {
        m_services.messages.showMessage(saved.error);
    }
    return saved.status == LibraryStatus::Done;
}

}  // namespace sonarch
