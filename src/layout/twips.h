#pragma once

namespace sonarch {

// Window geometry in twips (15 twips to a logical pixel).
struct TwipSize {
    int width = 0;
    int height = 0;
    bool operator==(const TwipSize&) const = default;
};

struct TwipPoint {
    int left = 0;
    int top = 0;
    bool operator==(const TwipPoint&) const = default;
};

struct TwipRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const TwipRect&) const = default;
};

}  // namespace sonarch
