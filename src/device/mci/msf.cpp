#include "device/mci/msf.h"

#include <cstdio>

#include "base/number_text.h"
#include "device/drives/drive.h"

namespace sonarch {

std::string formatMsf(std::int32_t frames) {
    if (frames < 0) {
        frames = 0;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", frames / (60 * kFramesPerSecond),
                  frames / kFramesPerSecond % 60, frames % kFramesPerSecond);
    return text;
}

std::string formatTmsf(int track, std::int32_t frames) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d:", track);
    return text + formatMsf(frames);
}

std::optional<std::int32_t> parseMsf(std::string_view text) {
    std::int64_t parts[3];
    for (int i = 0; i < 3; ++i) {
        const std::size_t colon = text.find(':');
        const std::string_view piece = i < 2 ? text.substr(0, colon) : text;
        if ((i < 2 && colon == std::string_view::npos) || piece.empty() || piece.front() == '-' ||
            piece.front() == '+') {
            return std::nullopt;
        }
        const auto value = parseInteger(piece);
        if (!value || *value > 100000) {
            return std::nullopt;
        }
        parts[i] = *value;
        if (i < 2) {
            text.remove_prefix(colon + 1);
        }
    }
    if (parts[1] >= 60 || parts[2] >= kFramesPerSecond) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(parts[0] * 60 * kFramesPerSecond +
                                     parts[1] * kFramesPerSecond + parts[2]);
}

}  // namespace sonarch
