#pragma once

#include <functional>
#include <optional>
#include <string>

#include "core/player_state.h"
#include "device/device_layer.h"

namespace sonarch {

// What a pointer over the progress bar shows: the bar is 100 units wide.
struct SeekPreview {
    std::optional<std::string> tooltip;      // no button: "Seek to: 25% - [01:00]"
    std::optional<std::string> timeCaption;  // left button: the time under the pointer
    std::optional<int> fillPercent;          // left button: the fill follows the pointer
    bool highlight = false;                  // the bar shows its highlight picture
};

// Fast forward, rewind and the click on the progress bar. Each switches the device to
// milliseconds for the move and back to "tmsf" before it returns, on every path.
class Seeking {
public:
    Seeking(PlayerState& state, DeviceLayer& device, std::function<void()> pollStatus)
        : m_state(state), m_device(device), m_pollStatus(std::move(pollStatus)) {}

    void ff_Click() { step(+1); }
    void rew_Click() { step(-1); }

    // button: 0 none, 1 left, 2 right (as the window reports the mouse); x in bar units.
    SeekPreview picProg_MouseMove(int button, float x, float scaleWidth) const;
    void picProg_MouseUp(int button, float x, float scaleWidth);

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
