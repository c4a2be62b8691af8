#pragma once

#include <functional>
#include <string>

#include "core/display_refresh.h"
#include "device/images/disc_text.h"
#include "device/mci/device_layer.h"
#include "model/player_display.h"
#include "model/player_state.h"
#include "model/track_list.h"

namespace sonarch {

class Transport;

// What the poll asks of the session around it.
struct PollHooks {
    std::function<void()> lookUpDisc;    // GetCDToc
    std::function<DiscText()> discText;  // for the rows of a disc the library does not know
    std::function<void(const std::string& coverPath)> coverDue;
    std::function<void()> discReset;
};

// Follows the drive: run twice a second by the window's timer and after most commands.
// Each run checks for a disc, reads a new one once (and starts it), refreshes the display
// and restarts the disc at its end. A step that fails is skipped and the next one runs.
class StatusPoll {
public:
    StatusPoll(PlayerState& state, DeviceLayer& device, PlayerDisplay& display, TrackList& tracks,
               Transport& transport, PollHooks hooks)
        : m_state(state),
          m_device(device),
          m_display(display),
          m_tracks(tracks),
          m_transport(transport),
          m_hooks(std::move(hooks)),
          m_refresh(state, display, tracks,
                    [this](const std::string& coverPath) { m_hooks.coverDue(coverPath); }) {}

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
    // An eject asked for: carried out once the drive says its tray opened, dropped with a
    // notice when the tray stays shut. Returns whether a disc is there to play.
    bool followEject(bool present);
    void readDisc();
    void resetNoDisc();
    void handleEndOfDisc(const std::string& elapsed);

    PlayerState& m_state;
    DeviceLayer& m_device;
    PlayerDisplay& m_display;
    TrackList& m_tracks;
    Transport& m_transport;
    PollHooks m_hooks;
    DisplayRefresh m_refresh;
    ReplyBuffer m_reply{30};
    bool m_running = false;
};

}  // namespace sonarch
