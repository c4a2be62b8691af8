#include "playback/seeking.h"

#include <algorithm>
#include <limits>

#include "device/msf.h"
#include "device/time_text.h"
#include "playback/time_display.h"
#include "playback/transport.h"

namespace sonarch {

namespace {

std::int64_t clampToInt32(std::int64_t value) {
    return std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
}

}  // namespace

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

SeekPreview Seeking::picProg_MouseMove(int button, float x, float scaleWidth) const {
    SeekPreview preview;
    if (m_state.currentTrack == 0) {
        return preview;
    }
    preview.highlight = true;
    const std::string* length = m_state.trackLength(m_state.currentTrack);
    if (!length || scaleWidth <= 0) {
        return preview;
    }
    const auto xUnits = static_cast<float>(roundHalfEven(x));
    const float seconds = xUnits / scaleWidth * TextToSeconds(*length);
    if (button == 1) {
        preview.fillPercent = ShowProgress(static_cast<std::int32_t>(roundHalfEven(scaleWidth)),
                                           static_cast<std::int32_t>(xUnits));
        preview.timeCaption = SecondsToText(seconds);
    } else if (button == 0) {
        preview.tooltip = "Seek to: " + twoDigits(roundHalfEven(xUnits / scaleWidth * 100)) +
                          "% - [" + SecondsToText(seconds) + "]";
    }
    return preview;
}

void Seeking::picProg_MouseUp(int button, float x, float scaleWidth) {
    if (m_state.currentTrack == 0 || button != 1 || scaleWidth <= 0) {
        return;
    }
    const double fraction = double(roundHalfEven(x)) / scaleWidth;
    m_device.DeviceCommand("set cd time format milliseconds", true);
    const std::int32_t start = GetCurrentframe(m_state, m_state.currentTrack);
    const std::string* length = m_state.trackLength(m_state.currentTrack);
    const double lengthSeconds = length ? TextToSeconds(*length) : 0.0;
    sendMove(clampToInt32(roundHalfEven(start + fraction * lengthSeconds * 1000)));
    m_device.DeviceCommand("set cd time format tmsf", false);
    m_pollStatus();
}

}  // namespace sonarch
