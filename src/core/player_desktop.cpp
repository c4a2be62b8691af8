// What the session offers desktops and the command line: opening another drive while it
// runs, and the transport state, position and moves a media-control front end asks for.
#include <limits>

#include "core/player.h"
#include "library/track_number.h"

namespace sonarch {

namespace {

constexpr int kDriveNoticeRuns = 10;  // about five seconds
// Held until the line has something else to say.
constexpr int kLastingNoticeRuns = std::numeric_limits<int>::max();
constexpr const char* kSoundStopped = "The sound stopped: the sound server went away.";

}  // namespace

bool Player::openDrive(const std::string& name, std::string* problem) {
    if (m_shutDown || !m_services.openDrive || !m_services.drives) {
        if (problem) {
            *problem = m_shutDown ? "the player is closing" : "the player opens no other drives";
        }
        return false;
    }
    Result<std::unique_ptr<Drive>> opened = m_services.openDrive(name);
    if (!opened.ok()) {
        m_display.showNotice(opened.error(), kDriveNoticeRuns);
        if (problem) {
            *problem = opened.error();
        }
        return false;
    }
    m_pendingDrive = std::move(opened.value());
    // A poll or lookup in progress (it lets events run) works on the drive it began with;
    // the change waits for its end.
    if (!busy()) {
        changeToPendingDrive();
    }
    return true;
}

void Player::changeToPendingDrive() {
    if (!m_pendingDrive || m_shutDown) {
        return;
    }
    m_device.DeviceQuery("stop cd");
    m_services.drives->switchTo(std::move(m_pendingDrive));
    // As after closing the door on a new disc: nothing of the last disc stays.
    m_state.doorOpen = false;
    m_state.ejectAsked = false;
    m_display.setEjectCaption("Eject");
    m_state.discLoaded = false;
    m_state.playing = false;
    m_state.paused = false;
    m_state.stopped = false;
    m_tracks.clear();
    for (int i = 0; i < 10; ++i) {
        m_display.setTrackNumberColour(i, kNoTrack);
    }
    m_state.discLookupPending = true;
    m_display.setStatusText("Loading, please wait . . .");
    if (m_started) {
        PollStatus();
    } else {
        notePlaybackStatus();
    }
}

void Player::showDriveProblem(const std::string& text) {
    m_display.showNotice(text, kLastingNoticeRuns);
}

void Player::showSoundTrouble(SoundTrouble trouble) {
    if (trouble == SoundTrouble::ServerGone) {
        m_display.showNotice(kSoundStopped, kLastingNoticeRuns);
    } else {
        m_display.endNotice(kSoundStopped);
    }
}

void Player::play() {
    m_transport.play_Click();
    notePlaybackStatus();
}

PlaybackStatus Player::playbackStatus() const {
    if (!m_state.discLoaded) {
        return PlaybackStatus::Stopped;
    }
    if (m_state.playing) {
        return PlaybackStatus::Playing;
    }
    return m_state.paused ? PlaybackStatus::Paused : PlaybackStatus::Stopped;
}

void Player::notePlaybackStatus() {
    const PlaybackStatus now = playbackStatus();
    if (now != m_playbackStatus) {
        m_playbackStatus = now;
        emit playbackStatusChanged(now);
    }
}

std::optional<std::int64_t> Player::trackPositionMs() {
    if (!m_state.discLoaded || m_shutDown) {
        return std::nullopt;
    }
    ReplyBuffer reply(30);
    if (m_device.DeviceQuery("status cd position", reply) != 0) {
        return std::nullopt;
    }
    // "tt:mm:ss:ff"; any other form (a seek holds the device in milliseconds) is no answer.
    const std::string text = reply.text();
    if (text.size() != 11 || text[2] != ':' || text[5] != ':' || text[8] != ':') {
        return std::nullopt;
    }
    const auto minutes = reply.number(4, 2);
    const auto seconds = reply.number(7, 2);
    const auto frames = reply.number(10, 2);
    if (!minutes || !seconds || !frames) {
        return std::nullopt;
    }
    return (std::int64_t{*minutes} * 60 + *seconds) * 1000 + std::int64_t{*frames} * 1000 / 75;
}

void Player::seekInTrack(std::int64_t ms) {
    m_seeking.seekInTrack(ms);
}

std::string Player::trackComment(int track) const {
    if (track < 1 || !LibraryStore::isAvailable(m_state.settings.databasePath)) {
        return {};
    }
    const auto comment =
        m_services.library.disc(m_state.settings.databasePath, m_state.currentDiscKey)
            .trackComment(FormatTrackNumber(track));
    return comment.status == LibraryStatus::Done ? comment.value : std::string();
}

}  // namespace sonarch
