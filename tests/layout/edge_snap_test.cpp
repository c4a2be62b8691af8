#include "layout/edge_snap.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

// A 1024 x 768 pixel screen and the normal player window, in twips.
const TwipRect kScreen{0, 0, 1024 * 15, 768 * 15};
constexpr int kWidth = 4875, kHeight = 1760;

TEST(SnapToScreenEdges, PullsTheWindowOntoEdgesWithinTheirLimitsOnly) {
    const int right = kScreen.width - kWidth;     // left of a window flush with the right edge
    const int bottom = kScreen.height - kHeight;  // top of one flush with the bottom
    const struct {
        TwipPoint at;
        TwipPoint expected;
    } cases[] = {
        {{3000, 150}, {3000, 0}},  // top 150 below the screen's top: up
        {{3000, 200}, {3000, 0}},
        {{3000, 250}, {3000, 250}},  // 250: stays
        {{3000, -300}, {3000, 0}},   // partly above the screen: back down
        {{200, 3000}, {0, 3000}},
        {{201, 3000}, {201, 3000}},
        {{right - 200, 3000}, {right, 3000}},
        {{right - 201, 3000}, {right - 201, 3000}},
        {{right + 900, 3000}, {right, 3000}},          // partly off the right edge: pulled back
        {{3000, bottom - 500}, {3000, bottom - 450}},  // 500 above the bottom: 450 above
        {{3000, bottom - 580}, {3000, bottom - 450}},
        {{3000, bottom - 600}, {3000, bottom - 600}},  // 600 above: stays
        {{3000, bottom}, {3000, bottom - 450}},        // on the bottom edge: lifted
        {{100, 100}, {0, 0}},                          // two rules at once
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SnapToScreenEdges({c.at.left, c.at.top, kWidth, kHeight}, kScreen), c.expected)
            << "from " << c.at.left << ", " << c.at.top;
    }
}

TEST(SnapToScreenEdges, EachRuleSeesWhatTheOneBeforeGave) {
    // Wider than the screen: the left rule puts it at 0, then the right rule, reading the
    // new left, puts its right edge on the screen's.
    const TwipRect wide{100, 3000, kScreen.width + 1000, kHeight};
    EXPECT_EQ(SnapToScreenEdges(wide, kScreen), (TwipPoint{-1000, 3000}));
    // A window taller than the room above the bottom limit: the top rule sets 0, the bottom
    // rule then lifts it from there.
    const TwipRect tall{3000, 100, kWidth, kScreen.height};
    EXPECT_EQ(SnapToScreenEdges(tall, kScreen), (TwipPoint{3000, -450}));
}

TEST(SnapToScreenEdges, CountsFromTheScreensOwnCorner) {
    const TwipRect second{kScreen.width, 0, kScreen.width, kScreen.height};
    EXPECT_EQ(SnapToScreenEdges({kScreen.width + 150, 3000, kWidth, kHeight}, second),
              (TwipPoint{kScreen.width, 3000}));
}

}  // namespace
}  // namespace sonarch
