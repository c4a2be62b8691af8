#include "core/status_poll.h"

#include "base/time_text.h"
#include "playback/time_display.h"
#include "playback/transport.h"

namespace sonarch {

namespace {

constexpr const char* kTrayStayedShut = "The drive did not open: another program may be using it.";
constexpr int kTrayNoticeRuns = 10;  // about five seconds

}  // namespace

void StatusPoll::PollStatus() {
    runExclusive([this] { run(); });
}

bool StatusPoll::runExclusive(const std::function<void()>& work) {
    if (m_running) {
        return false;
    }
    m_running = true;
    work();
    m_running = false;
    return true;
}

void StatusPoll::run() {
    m_device.DeviceQuery("status cd media present", m_reply);
    bool present = m_reply.piece(1, 4) == "true";
    if (m_state.ejectAsked) {
        present = followEject(present);
    }
    if (present && m_state.discLookupPending) {
        // Cleared first: an eject while the lookup lets events run sets it (or asks for
        // the tray), and this run then leaves the changed drive to the next one.
        m_state.discLookupPending = false;
        m_hooks.lookUpDisc();
        if (m_state.discLookupPending || m_state.ejectAsked) {
            return;
        }
    }
    if (!present) {
        resetNoDisc();
        return;
    }
    if (!m_state.discLoaded) {
        readDisc();
        if (!m_state.discLoaded) {
            return;  // a one-track disc is never read or played
        }
    }
    m_device.DeviceQuery("status cd position", m_reply);
    if (const auto track = m_reply.number(1, 2)) {
        m_state.currentTrack = static_cast<std::int16_t>(*track);
    }
    if (const auto minutes = m_reply.number(4, 2)) {
        m_state.positionMinutes = static_cast<std::int16_t>(*minutes);
    }
    if (const auto seconds = m_reply.number(7, 2)) {
        m_state.positionSeconds = static_cast<std::int16_t>(*seconds);
    }
    const std::string elapsed = elapsedText(m_state);
    m_refresh.refresh(elapsed);
    m_device.DeviceQuery("status cd mode", m_reply);
    m_state.playing = m_reply.piece(1, 7) == "playing";
    handleEndOfDisc(elapsed);
}

bool StatusPoll::followEject(bool present) {
    ReplyBuffer door(30);
    const bool answered = m_device.DeviceQuery("status cd door", door) == 0;
    if (answered && door.text() == "opening") {
        return present;  // the disc plays on meanwhile
    }
    m_state.ejectAsked = false;
    if (answered && door.text() == "closed") {
        m_display.showNotice(kTrayStayedShut, kTrayNoticeRuns);
        return present;
    }
    m_transport.trayOpened();
    return false;
}

void StatusPoll::readDisc() {
    m_device.DeviceQuery("status cd number of tracks wait", m_reply);
    if (const auto count = m_reply.number(1, 2); count && *count >= 0) {
        m_state.trackCount = static_cast<std::int16_t>(*count);
    }
    if (m_state.trackCount == 1) {
        return;
    }
    m_device.DeviceQuery("status cd length wait", m_reply);
    m_state.discLengthText = m_reply.textPiece(1, 5);
    m_state.trackLengths.assign(std::size_t(m_state.trackCount), std::string());
    for (int i = 1; i <= m_state.trackCount; ++i) {
        m_device.DeviceQuery("status cd length track " + std::to_string(i), m_reply);
        m_state.trackLengths[std::size_t(i - 1)] = m_reply.textPiece(1, 5);
    }
    if (m_tracks.empty()) {
        m_tracks.replace(TrackList::defaultRows(m_state.trackLengths, m_hooks.discText()));
    }
    m_display.setTransportEnabled(true);
    m_display.setIndicatorShown(Indicator::Stop, true);
    m_display.setIndicatorShown(Indicator::Pause, false);
    m_display.setIndicatorShown(Indicator::Play, false);
    m_state.discLoaded = true;
    m_device.DeviceCommand("seek cd to 1", true);
    // Every disc that is read starts playing from track 1 without a user command.
    m_transport.play_Click();
}

void StatusPoll::resetNoDisc() {
    m_display.setTransportEnabled(false);
    m_state.discLoaded = false;
    m_state.playing = false;
    m_state.stopped = false;
    m_state.paused = false;
    for (Caption caption :
         {Caption::TimeWindow, Caption::Track, Caption::TotalTime, Caption::TrackCount,
          Caption::BarTotal, Caption::BarTrack, Caption::BarTime}) {
        m_display.setCaption(caption, "");
    }
    for (TrackField field : {TrackField::Artist, TrackField::Title, TrackField::Album}) {
        m_display.setTrackField(field, "");
    }
    m_display.setMoreShown(false);
    m_display.setStars(0);
    m_display.setIndicatorShown(Indicator::Stop, true);
    m_display.setIndicatorShown(Indicator::Pause, false);
    m_display.setIndicatorShown(Indicator::Play, false);
    m_display.setProgressShown(false);
    m_hooks.discReset();  // the cover and the more-tracks menu are emptied too
    m_display.setStatusText(m_state.doorOpen ? "Data or no disc loaded" : "");
    m_state.discLookupPending = true;
}

void StatusPoll::handleEndOfDisc(const std::string& elapsed) {
    const std::string* length = m_state.trackLength(m_state.currentTrack);
    if (!length || *length != elapsed || m_state.playing ||
        m_state.currentTrack != m_state.trackCount) {
        return;
    }
    m_device.DeviceCommand("seek cd to 1", false);
    if (m_state.settings.continuousPlay) {
        m_transport.play_Click();
    }
}

}  // namespace sonarch
