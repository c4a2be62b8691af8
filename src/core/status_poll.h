#pragma once

#include <functional>
#include <string>

#include "core/player_state.h"
#include "core/player_view.h"
#include "device/device_layer.h"

namespace sonarch {

class Transport;

// Follows the drive: run twice a second by the window's timer and after most commands.
// Each run checks for a disc, reads a new one once (and starts it), refreshes the display
// and restarts the disc at its end. A step that fails is skipped and the next one runs.
class StatusPoll {
public:
    StatusPoll(PlayerState& state, DeviceLayer& device, PlayerView& view, Transport& transport)
        : m_state(state), m_device(device), m_view(view), m_transport(transport) {}

    // A run that would start while another is still in progress (a message box or the
    // disc key lets window events run) is skipped, so the library lookup of a new disc
    // runs to its end exactly once.
    void PollStatus();
    // Runs `work` (the refresh button's lookup) under the same guard, so neither a poll nor
    // a second lookup can start inside it; false when a run was already in progress.
    bool runExclusive(const std::function<void()>& work);
    bool busy() const { return m_running; }

private:
    void run();
    void readDisc();
    void resetNoDisc();
    void refreshDisplay(const std::string& elapsed);
    void refreshIndicators();
    void refreshTrackNumbers();
    void refreshTrackFields();
    void refreshRatingAndCover();
    void handleEndOfDisc(const std::string& elapsed);

    PlayerState& m_state;
    DeviceLayer& m_device;
    PlayerView& m_view;
    Transport& m_transport;
    ReplyBuffer m_reply{30};
    bool m_running = false;
};

}  // namespace sonarch
