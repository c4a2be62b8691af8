#include "playback/seeking.h"

#include <algorithm>
#include <limits>

#include "base/number_text.h"
#include "base/time_text.h"
#include "device/mci/msf.h"
#include "playback/time_display.h"
#include "playback/transport.h"

namespace sonarch {

namespace {

constexpr std::int32_t kBarUnits = 100;  // the progress bar's own width

std::int64_t clampToInt32(std::int64_t value) {
    return std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
}

}  // namespace

SeekPreview previewSeek(double fraction, float lengthSeconds) {
    const auto units = static_cast<float>(roundHalfEven(fraction * kBarUnits));
    const float seconds = units / kBarUnits * lengthSeconds;
    SeekPreview preview;
    preview.fillPercent = ShowProgress(kBarUnits, static_cast<std::int32_t>(units));
    preview.timeCaption = SecondsToText(seconds);
    preview.tooltip = "Seek to: " + twoDigits(roundHalfEven(units / kBarUnits * 100)) + "% - [" +
                      SecondsToText(seconds) + "]";
    return preview;
}

void Seeking::sendMove(std::int64_t target) {
    m_state.commandText = moveCommandPrefix(m_state.playing) + std::to_string(target);
    m_device.DeviceQuery(m_state.commandText);
}

void Seeking::step(int direction) {
    m_device.DeviceCommand("set cd time format milliseconds", true);
    ReplyBuffer reply(40);
    m_device.DeviceQuery("status cd position wait", reply);
    // Without a number (no disc, or the switch failed and the reply is a track position)
    // there is nowhere to move from: only the time format is put back.
    if (const auto position = parseInteger(reply.text())) {
        const std::int64_t stepMs =
            std::int64_t{std::clamp(m_state.settings.seekStep, -kMaxSeekStep, kMaxSeekStep)} * 1000;
        sendMove(clampToInt32(*position + direction * stepMs));
    }
    m_device.DeviceCommand("set cd time format tmsf", false);
    m_pollStatus();
}

void Seeking::jumpInTrack(std::int64_t milliseconds) {
    if (m_state.currentTrack == 0) {
        return;
    }
    m_device.DeviceCommand("set cd time format milliseconds", true);
    const std::int32_t start = GetCurrentframe(m_state, m_state.currentTrack);
    sendMove(clampToInt32(start + milliseconds));
    m_device.DeviceCommand("set cd time format tmsf", false);
    m_pollStatus();
}

void Seeking::seekInTrack(std::int64_t milliseconds) {
    if (m_state.currentTrack == 0) {
        return;
    }
    m_device.DeviceCommand("set cd time format milliseconds", true);
    std::int64_t start = GetCurrentframe(m_state, m_state.currentTrack);
    ReplyBuffer reply(40);
    if (m_device.DeviceQuery("status cd position track " + std::to_string(m_state.currentTrack),
                             reply) == 0) {
        // The lengths are whole seconds; the device knows where the track really starts.
        if (const auto exact = parseInteger(reply.text())) {
            start = *exact;
        }
    }
    // The device gives the start in whole milliseconds, rounded down, and takes a place
    // the same way: the start itself would land a frame early, at the end of the track
    // before. One millisecond on lands in the start's own frame.
    sendMove(clampToInt32(start + std::max<std::int64_t>(milliseconds, 1)));
    m_device.DeviceCommand("set cd time format tmsf", false);
    m_pollStatus();
}

}  // namespace sonarch
