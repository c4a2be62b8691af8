// The display refresh: the middle of every poll run with a loaded disc. It only writes
// what the state says; it never asks the drive.
#include <algorithm>
#include <climits>

#include "core/status_poll.h"
#include "device/msf.h"
#include "playback/time_display.h"

namespace sonarch {

void StatusPoll::refreshDisplay(const std::string& elapsed) {
    const TimeCaptions captions = refreshTimeDisplay(m_state, elapsed);
    if (captions.time) {
        m_view.setCaption(Caption::TimeWindow, *captions.time);
        m_view.setCaption(Caption::BarTime, *captions.time);
    }
    if (captions.track) {
        m_view.setCaption(Caption::Track, *captions.track);
        m_view.setCaption(Caption::BarTrack, *captions.barTrack);
    }
    m_view.setCaption(Caption::TotalTime, captions.totalTime);
    m_view.setCaption(Caption::BarTotal, captions.barTotal);
    m_view.setCaption(Caption::TrackCount, captions.trackCount);
    if (captions.progressPercent) {
        m_view.setProgressWidth(*captions.progressPercent);
    }
    refreshIndicators();
    refreshTrackNumbers();
    refreshTrackFields();
    refreshRatingAndCover();
}

void StatusPoll::refreshIndicators() {
    if (m_state.playing) {
        // Blinking from the counter keeps it in step with the poll, with no timer of its own.
        m_view.setIndicatorVisible(Indicator::Play, m_state.blinkCounter % 2 == 0);
        m_view.setStatusText("Playing . . .");
        if (++m_state.blinkCounter == 100) {
            m_state.blinkCounter = 1;
        }
        m_view.setIndicatorVisible(Indicator::Stop, false);
        m_view.setIndicatorVisible(Indicator::Pause, false);
        m_view.setProgressVisible(true);
    } else if (m_state.paused) {
        m_view.setStatusText("Paused . . .");
        m_view.setIndicatorVisible(Indicator::Play, false);
        m_view.setIndicatorVisible(Indicator::Stop, false);
        m_view.setIndicatorVisible(Indicator::Pause, true);
        m_view.setProgressVisible(true);
    } else if (m_state.stopped) {
        m_view.setStatusText("Stopped . . .");
        m_view.setIndicatorVisible(Indicator::Play, false);
        m_view.setIndicatorVisible(Indicator::Stop, true);
        m_view.setIndicatorVisible(Indicator::Pause, false);
        m_view.setProgressVisible(false);
    } else {
        m_view.setStatusText("Ready . . .");
        m_view.setIndicatorVisible(Indicator::Play, false);
    }
}

void StatusPoll::refreshTrackNumbers() {
    const int current = m_state.currentTrack - 1;
    if (current >= 0 && current < 10) {
        m_view.setTrackNumberColour(current, kCurrentTrack);
    }
    for (int i = 0; i < m_state.trackCount && i < 10; ++i) {
        if (i != current) {
            m_view.setTrackNumberColour(i, kOtherTrack);
        }
    }
    m_view.setMoreVisible(m_state.trackCount >= 11);
}

void StatusPoll::refreshTrackFields() {
    if (m_view.trackRowCount() == 0) {
        return;
    }
    const std::optional<TrackRow> row = m_view.trackRow(m_state.currentTrack);
    if (!row) {
        return;
    }
    m_view.setTrackField(TrackField::Artist, row->artist);
    m_view.setTrackField(TrackField::Title, row->title);
    m_view.setTrackField(TrackField::Album, row->album);
    m_view.selectTrackRow(m_state.currentTrack);
}

void StatusPoll::refreshRatingAndCover() {
    if (m_state.currentTrack != m_state.ratingShownForTrack.value_or(0)) {
        if (!m_state.settings.showRating) {
            m_view.ShowStar(0);
        } else if (const std::optional<TrackRow> row = m_view.trackRow(m_state.currentTrack)) {
            if (const auto rating = parseInteger(row->rating)) {
                m_view.ShowStar(
                    static_cast<int>(std::clamp<std::int64_t>(*rating, INT_MIN, INT_MAX)));
            }
        }
        if (m_view.coverPanelVisible()) {
            m_view.LoadImage(m_state.coverPath);
        }
    }
    m_state.ratingShownForTrack = m_state.currentTrack;
}

}  // namespace sonarch
