#include "layout/onto_screens.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace sonarch {

namespace {

// What must lie on one screen for the window to be taken and dragged back by hand: a patch
// of 32 x 16 pixels of it, or all of it in a direction where it is smaller.
constexpr int kGripWidth = 480;
constexpr int kGripHeight = 240;

std::int64_t overlap(int start, int length, int otherStart, int otherLength) {
    const std::int64_t from = std::max<std::int64_t>(start, otherStart);
    const std::int64_t to = std::min<std::int64_t>(std::int64_t(start) + length,
                                                   std::int64_t(otherStart) + otherLength);
    return std::max<std::int64_t>(to - from, 0);
}

std::int64_t gap(int start, int length, int otherStart, int otherLength) {
    const std::int64_t before = std::int64_t(otherStart) - (std::int64_t(start) + length);
    const std::int64_t after = std::int64_t(start) - (std::int64_t(otherStart) + otherLength);
    return std::max<std::int64_t>({before, after, 0});
}

bool canBeTaken(const TwipRect& window, const TwipRect& screen) {
    return overlap(window.left, window.width, screen.left, screen.width) >=
               std::min(window.width, kGripWidth) &&
           overlap(window.top, window.height, screen.top, screen.height) >=
               std::min(window.height, kGripHeight);
}

// Within [low, high - length], or at low when it is longer than that.
int clampInto(int start, int length, int low, int span) {
    const std::int64_t last = std::int64_t(low) + span - length;
    if (last < low) {
        return low;
    }
    return int(std::clamp<std::int64_t>(start, low, last));
}

}  // namespace

TwipPoint PullOntoScreens(TwipRect window, const std::vector<TwipRect>& screens) {
    const TwipPoint kept{window.left, window.top};
    if (screens.empty() || std::any_of(screens.begin(), screens.end(),
                                       [&](const TwipRect& s) { return canBeTaken(window, s); })) {
        return kept;
    }
    const TwipRect* nearest = nullptr;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (const TwipRect& screen : screens) {
        const double dx = double(gap(window.left, window.width, screen.left, screen.width));
        const double dy = double(gap(window.top, window.height, screen.top, screen.height));
        const double distance = dx * dx + dy * dy;
        if (distance < nearestDistance) {
            nearest = &screen;
            nearestDistance = distance;
        }
    }
    return {clampInto(window.left, window.width, nearest->left, nearest->width),
            clampInto(window.top, window.height, nearest->top, nearest->height)};
}

}  // namespace sonarch
