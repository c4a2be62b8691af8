#include "base/time_text.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

#include "base/number_text.h"

namespace sonarch {

namespace {

// An integer with blanks allowed around it, as the player's texts are read.
std::optional<long long> wholeNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    const auto value = parseInteger(text);
    if (!value || *value > std::numeric_limits<int>::max() ||
        *value < std::numeric_limits<int>::min()) {
        return std::nullopt;
    }
    return *value;
}

}  // namespace

long long roundHalfEven(double value) {
    return static_cast<long long>(std::nearbyint(value));  // default rounding: to nearest even
}

std::string twoDigits(long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld", value);
    return text;
}

std::string SecondsToText(float seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e15f) {
        return {};
    }
    const long long whole = roundHalfEven(seconds);
    if (whole < 0) {
        return "-" + SecondsToText(static_cast<float>(-whole));
    }
    return twoDigits(whole / 60) + ":" + twoDigits(whole % 60);
}

float TextToSeconds(std::string_view text) {
    if (text.size() == 5) {
        const auto minutes = wholeNumber(text.substr(0, 2));
        const auto secs = wholeNumber(text.substr(3, 2));
        if (!minutes || !secs) {
            return 0;
        }
        return static_cast<float>(*minutes * 60 + *secs);
    }
    const auto secs = wholeNumber(text.substr(text.size() < 2 ? 0 : text.size() - 2));
    if (!secs) {
        return 0;
    }
    const std::size_t first = text.find(':');
    if (first == std::string_view::npos) {
        return static_cast<float>(*secs);
    }
    const auto leading = wholeNumber(text.substr(0, first));
    const auto next = wholeNumber(text.substr(first + 1, 2));
    if (!leading || !next) {
        return 0;
    }
    const bool hasHours = text.find(':', first + 1) != std::string_view::npos;
    if (!hasHours) {
        // "m:ss" or "mmm:ss": minutes and seconds.
        return static_cast<float>(*leading * 60 + *secs);
    }
    return static_cast<float>(*leading * 3600 + *next * 60 + *secs);
}

}  // namespace sonarch
