#pragma once

#include <functional>
#include <string>

#include "device/mci/device_layer.h"
#include "model/player_display.h"
#include "model/player_state.h"
#include "model/track_list.h"

namespace sonarch {

// A move plays on from the new place while the drive plays, and only cues it otherwise.
inline const char* moveCommandPrefix(bool playing) {
    return playing ? "play cd from " : "seek cd to ";
}

// The user's transport commands: each sends its command strings, sets the playback flags
// and, for most, runs the status poll at once so the window follows without waiting.
class Transport {
public:
    Transport(PlayerState& state, DeviceLayer& device, PlayerDisplay& display, TrackList& tracks,
              std::function<void()> pollStatus)
        : m_state(state),
          m_device(device),
          m_display(display),
          m_tracks(tracks),
          m_pollStatus(std::move(pollStatus)) {}

    void play_Click();
    void pause_Click();
    void stopbtn_Click();
    void ftrack_Click();
    void btrack_Click();
    void eject_Click();
    // The tray opened on the eject asked for: the disc is gone for the session.
    void trayOpened();

    // Direct selection: the number labels and the more-tracks menu by number, the list by
    // the number its row shows. Neither changes the flags or runs the poll.
    void PlayTrack(const std::string& track);
    void PlayTrack(int track);
    // Row `row` of the track list, counted from 1; nothing for no such row.
    void LV_DblClick(int row);

private:
    void forgetDisc();

    PlayerState& m_state;
    DeviceLayer& m_device;
    PlayerDisplay& m_display;
    TrackList& m_tracks;
    std::function<void()> m_pollStatus;
};

}  // namespace sonarch
