#pragma once

#include <functional>
#include <string>

namespace sonarch {

class PlayerDisplay;
class TrackList;
struct PlayerState;

// The display refresh: the middle of every poll run with a loaded disc. It writes what
// the state says to the display (the time captions, the indicators, the track numbers,
// the current track's fields, the stars) and never asks the drive.
class DisplayRefresh {
public:
    DisplayRefresh(PlayerState& state, PlayerDisplay& display, const TrackList& tracks,
                   std::function<void(const std::string& coverPath)> coverDue)
        : m_state(state), m_display(display), m_tracks(tracks), m_coverDue(std::move(coverDue)) {}

    // `elapsed` is the run's place in the track, "mm:ss".
    void refresh(const std::string& elapsed);

private:
    void refreshIndicators();
    void refreshTrackNumbers();
    void refreshTrackFields();
    void refreshRatingAndCover();

    PlayerState& m_state;
    PlayerDisplay& m_display;
    const TrackList& m_tracks;
    std::function<void(const std::string&)> m_coverDue;
};

}  // namespace sonarch
