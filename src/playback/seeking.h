#pragma once

#include <functional>
#include <optional>
#include <string>

#include "device/mci/device_layer.h"
#include "model/player_state.h"

namespace sonarch {

// What a place on the progress bar means, the bar being 100 units wide and the place
// taken to the nearest unit.
struct SeekPreview {
    std::string tooltip;             // "Seek to: 25% - [01:00]", shown with no button down
    std::string timeCaption;         // the time there, shown while dragging
    std::optional<int> fillPercent;  // the fill while dragging, when it may be drawn
};

// Fast forward, rewind and the click on the progress bar. Each switches the device to
// milliseconds for the move and back to "tmsf" before it returns, on every path.
class Seeking {
public:
    Seeking(PlayerState& state, DeviceLayer& device, std::function<void()> pollStatus)
        : m_state(state), m_device(device), m_pollStatus(std::move(pollStatus)) {}

    void ff_Click() { step(+1); }
    void rew_Click() { step(-1); }

    // `fraction` is the place on the bar, 0 at its left end and 1 at its right. Nothing
    // when no track is current or its length is unknown.
    std::optional<SeekPreview> picProg_MouseMove(double fraction) const;
    // A left click: the current track from that place on.
    void picProg_MouseUp(double fraction);
    // The current track from `milliseconds` into it on (a desktop's seek), moved the way
    // a click on the bar moves, from the track's start as the device has it.
    void seekInTrack(std::int64_t milliseconds);

    // The largest step that keeps step x 1000 and the target within 32 bits.
    static constexpr std::int32_t kMaxSeekStep = 1'000'000;

private:
    void step(int direction);
    void sendMove(std::int64_t target);

    PlayerState& m_state;
    DeviceLayer& m_device;
    std::function<void()> m_pollStatus;
};

}  // namespace sonarch
