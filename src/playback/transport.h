#pragma once

#include <functional>
#include <string>

#include "core/player_state.h"
#include "core/player_view.h"
#include "device/device_layer.h"

namespace sonarch {

// A move plays on from the new place while the drive plays, and only cues it otherwise.
inline const char* moveCommandPrefix(bool playing) {
    return playing ? "play cd from " : "seek cd to ";
}

// The user's transport commands: each sends its command strings, sets the playback flags
// and, for most, runs the status poll at once so the window follows without waiting.
class Transport {
public:
    Transport(PlayerState& state, DeviceLayer& device, PlayerView& view,
              std::function<void()> pollStatus)
        : m_state(state), m_device(device), m_view(view), m_pollStatus(std::move(pollStatus)) {}

    void play_Click();
    void pause_Click();
    void stopbtn_Click();
    void ftrack_Click();
    void btrack_Click();
    void eject_Click();

    // Direct selection: the number labels, the list and the more-tracks menu.
    void PlayTrack(const std::string& track);
    void PlayTrack(int track);
    void N_Click(int index);
    void LV_DblClick();
    // True when the label gives the white press feedback (its track is on the disc).
    bool N_MouseDown(int index) const;

private:
    PlayerState& m_state;
    DeviceLayer& m_device;
    PlayerView& m_view;
    std::function<void()> m_pollStatus;
};

}  // namespace sonarch
