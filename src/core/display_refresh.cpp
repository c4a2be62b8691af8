#include "core/display_refresh.h"

#include "model/player_display.h"
#include "model/player_state.h"
#include "model/track_list.h"
#include "playback/time_display.h"

namespace sonarch {

void DisplayRefresh::refresh(const std::string& elapsed) {
    const TimeCaptions captions = refreshTimeDisplay(m_state, elapsed);
    if (captions.time) {
        m_display.setCaption(Caption::TimeWindow, *captions.time);
        m_display.setCaption(Caption::BarTime, *captions.time);
    }
    if (captions.track) {
        m_display.setCaption(Caption::Track, *captions.track);
        m_display.setCaption(Caption::BarTrack, *captions.barTrack);
    }
    m_display.setCaption(Caption::TotalTime, captions.totalTime);
    m_display.setCaption(Caption::BarTotal, captions.barTotal);
    m_display.setCaption(Caption::TrackCount, captions.trackCount);
    if (captions.progressPercent) {
        m_display.setProgressPercent(*captions.progressPercent);
    }
    refreshIndicators();
    refreshTrackNumbers();
    refreshTrackFields();
    refreshRatingAndCover();
}

void DisplayRefresh::refreshIndicators() {
    if (m_state.playing) {
        // Blinking from the counter keeps it in step with the poll, with no timer of its own.
        m_display.setIndicatorShown(Indicator::Play, m_state.blinkCounter % 2 == 0);
        m_display.setStatusText("Playing . . .");
        if (++m_state.blinkCounter == 100) {
            m_state.blinkCounter = 1;
        }
        m_display.setIndicatorShown(Indicator::Stop, false);
        m_display.setIndicatorShown(Indicator::Pause, false);
        m_display.setProgressShown(true);
    } else if (m_state.paused) {
        m_display.setStatusText("Paused . . .");
        m_display.setIndicatorShown(Indicator::Play, false);
        m_display.setIndicatorShown(Indicator::Stop, false);
        m_display.setIndicatorShown(Indicator::Pause, true);
        m_display.setProgressShown(true);
    } else if (m_state.stopped) {
        m_display.setStatusText("Stopped . . .");
        m_display.setIndicatorShown(Indicator::Play, false);
        m_display.setIndicatorShown(Indicator::Stop, true);
        m_display.setIndicatorShown(Indicator::Pause, false);
        m_display.setProgressShown(false);
    } else {
        m_display.setStatusText("Ready . . .");
        m_display.setIndicatorShown(Indicator::Play, false);
    }
}

void DisplayRefresh::refreshTrackNumbers() {
    const int current = m_state.currentTrack - 1;
    if (current >= 0 && current < 10) {
        m_display.setTrackNumberColour(current, kCurrentTrack);
    }
    for (int i = 0; i < m_state.trackCount && i < 10; ++i) {
        if (i != current) {
            m_display.setTrackNumberColour(i, kOtherTrack);
        }
    }
    m_display.setMoreShown(m_state.trackCount >= 11);
}

void DisplayRefresh::refreshTrackFields() {
    const TrackRow* row = m_tracks.row(m_state.currentTrack);
    if (!row) {
        return;
    }
    m_display.setTrackField(TrackField::Artist, row->artist);
    m_display.setTrackField(TrackField::Title, row->title);
    m_display.setTrackField(TrackField::Album, row->album);
    m_display.selectRow(m_state.currentTrack);
}

void DisplayRefresh::refreshRatingAndCover() {
    if (m_state.currentTrack != m_state.ratingShownForTrack.value_or(0)) {
        if (!m_state.settings.showRating) {
            m_display.setStars(0);
        } else if (const TrackRow* row = m_tracks.row(m_state.currentTrack)) {
            if (row->rating) {
                m_display.setStars(*row->rating);
            }
        }
        m_coverDue(m_state.coverPath);
    }
    m_state.ratingShownForTrack = m_state.currentTrack;
}

}  // namespace sonarch
