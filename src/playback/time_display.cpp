#include "playback/time_display.h"

#include <cmath>
#include <limits>

#include "base/time_text.h"

namespace sonarch {

std::string elapsedText(const PlayerState& state) {
    return twoDigits(state.positionMinutes) + ":" + twoDigits(state.positionSeconds);
}

float PrevTime(const PlayerState& state) {
    float sum = 0;
    for (int i = 1; i < state.currentTrack; ++i) {
        const std::string* length = state.trackLength(i);
        sum += length ? TextToSeconds(*length) : 0.0f;
    }
    return sum;
}

std::int32_t GetCurrentframe(const PlayerState& state, int trk) {
    std::int64_t sum = 0;
    for (int i = 1; i < trk; ++i) {
        const std::string* length = state.trackLength(i);
        sum = roundHalfEven(double(sum) + (length ? TextToSeconds(*length) : 0.0f) * 1000.0);
    }
    return static_cast<std::int32_t>(sum);
}

std::optional<int> ShowProgress(std::int32_t sTotal, std::int32_t sCurrent) {
    if (sTotal == 0) {
        return std::nullopt;
    }
    const std::int64_t scaled = (std::int64_t{sTotal} - sCurrent) * 100;
    if (scaled > std::numeric_limits<std::int32_t>::max() ||
        scaled < std::numeric_limits<std::int32_t>::min()) {
        return std::nullopt;
    }
    const long long percent = roundHalfEven(100.0 - double(scaled) / double(sTotal));
    // A negative width is refused by the window, as is anything past the bar's end.
    if (percent > 100 || percent < 0) {
        return std::nullopt;
    }
    return static_cast<int>(percent);
}

TimeCaptions refreshTimeDisplay(const PlayerState& state, const std::string& elapsed) {
    const Settings& s = state.settings;
    const std::string* length = state.trackLength(state.currentTrack);
    const float elapsedSeconds = TextToSeconds(elapsed);
    TimeCaptions captions;
    if (s.showTrackElapsed) {
        captions.time = elapsed;
    }
    if (s.showTrackRemaining && length) {
        captions.time = "-" + SecondsToText(TextToSeconds(*length) - elapsedSeconds);
    }
    if (s.showTotalElapsed) {
        captions.time = SecondsToText(PrevTime(state) + elapsedSeconds);
    }
    if (s.showTotalRemaining) {
        captions.time = "-" + SecondsToText(TextToSeconds(state.discLengthText) - PrevTime(state) -
                                            elapsedSeconds);
    }
    if (length) {
        captions.track = "Track " + twoDigits(state.currentTrack) + " - [" + *length + "]";
        captions.barTrack = twoDigits(state.currentTrack) + " - [" + *length + "]";
        captions.progressPercent =
            ShowProgress(static_cast<std::int32_t>(roundHalfEven(TextToSeconds(*length))),
                         static_cast<std::int32_t>(roundHalfEven(elapsedSeconds)));
    }
    captions.totalTime = state.discLengthText;
    captions.barTotal = "[" + twoDigits(state.trackCount) + " - " + state.discLengthText + "]";
    captions.trackCount = twoDigits(state.trackCount);
    return captions;
}

std::optional<std::string> cycleTimeMode(Settings& s) {
    struct Step {
        bool Settings::*from;
        bool Settings::*to;
        const char* tooltip;
    };
    static const Step kCycle[] = {
        {&Settings::showTrackElapsed, &Settings::showTrackRemaining, "Track remaining"},
        {&Settings::showTrackRemaining, &Settings::showTotalElapsed, "Total elapsed"},
        {&Settings::showTotalElapsed, &Settings::showTotalRemaining, "Total remaining"},
        {&Settings::showTotalRemaining, &Settings::showTrackElapsed, "Track elapsed"},
    };
    for (const Step& step : kCycle) {
        if (s.*step.from) {
            s.showTrackElapsed = s.showTrackRemaining = false;
            s.showTotalElapsed = s.showTotalRemaining = false;
            s.*step.to = true;
            return step.tooltip;
        }
    }
    return std::nullopt;
}

}  // namespace sonarch
