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

// What a place on the progress bar means for a track `lengthSeconds` long; `fraction` is
// the place, 0 at the bar's left end and 1 at its right.
SeekPreview previewSeek(double fraction, float lengthSeconds);

// Fast forward, rewind and the moves to a time in the track. Each switches the device to
// milliseconds for the move and back to "tmsf" before it returns, on every path.
class Seeking {
public:
    Seeking(PlayerState& state, DeviceLayer& device, std::function<void()> pollStatus)
        : m_state(state), m_device(device), m_pollStatus(std::move(pollStatus)) {}

    void ff_Click() { step(+1); }
    void rew_Click() { step(-1); }

    // The current track from `milliseconds` into it on, counted from where the track
    // lengths put its start (the progress bar's move).
    void jumpInTrack(std::int64_t milliseconds);
    // The same from the track's start as the device has it (a desktop's seek).
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
