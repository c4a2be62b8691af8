#include "layout/onto_screens.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

// Two screens side by side in pixels, 1920 x 1080 and 1280 x 1024 to its right, in twips;
// and the normal player window, 325 x 117 pixels.
const TwipRect kLeftScreen{0, 0, 1920 * 15, 1080 * 15};
const TwipRect kRightScreen{1920 * 15, 0, 1280 * 15, 1024 * 15};
constexpr int kWidth = 4875, kHeight = 1755;

TEST(PullOntoScreens, APlaceOffEveryScreenComesOntoTheNearestWhole) {
    const std::vector<TwipRect> screens{kLeftScreen, kRightScreen};
    const struct {
        const char* what;
        TwipPoint at;
        TwipPoint expected;
    } cases[] = {
        // A third monitor to the right, unplugged: onto the right screen's right edge.
        {"right of both", {3400 * 15, 300 * 15}, {(3200 - 325) * 15, 300 * 15}},
        // Below the right screen, which is shorter than the left one.
        {"below the short screen", {2500 * 15, 1040 * 15}, {2500 * 15, (1024 - 117) * 15}},
        {"above both", {100 * 15, -5000 * 15}, {100 * 15, 0}},
        {"left of both", {-400 * 15, 500 * 15}, {0, 500 * 15}},
        // Far off at a corner: the nearest corner of the nearest screen.
        {"far below the left", {-900000, 900000}, {0, (1080 - 117) * 15}},
        // Only a sliver of 20 x 117 pixels on the left screen: too little to take hold of.
        {"a sliver left", {-305 * 15, 40 * 15}, {0, 40 * 15}},
        {"a strip below", {50 * 15, (1080 - 10) * 15}, {50 * 15, (1080 - 117) * 15}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PullOntoScreens({c.at.left, c.at.top, kWidth, kHeight}, screens), c.expected)
            << c.what;
    }
}

TEST(PullOntoScreens, APlaceThatLeavesEnoughToTakeHoldOfIsKept) {
    const std::vector<TwipRect> screens{kLeftScreen, kRightScreen};
    const TwipPoint kept[] = {
        {500 * 15, 500 * 15},                 // whole on a screen
        {(1920 - 100) * 15, 200 * 15},        // across the two screens
        {-(325 - 32) * 15, 300 * 15},         // 32 pixels of it on the left screen
        {600 * 15, (1080 - 16) * 15},         // 16 pixels of it above the bottom
        {(3200 - 40) * 15, (1024 - 20) * 15}  // a corner of 40 x 20 pixels
    };
    for (const TwipPoint& at : kept) {
        EXPECT_EQ(PullOntoScreens({at.left, at.top, kWidth, kHeight}, screens), at)
            << at.left << ", " << at.top;
    }
    // The bar layout is 18 pixels high: 16 of them on the screen are enough.
    EXPECT_EQ(PullOntoScreens({500 * 15, -2 * 15, kWidth, 270}, {kLeftScreen}),
              (TwipPoint{500 * 15, -2 * 15}))
        << "16 of 18 pixels show";
    EXPECT_EQ(PullOntoScreens({500 * 15, -3 * 15, kWidth, 270}, {kLeftScreen}),
              (TwipPoint{500 * 15, 0}));
}

TEST(PullOntoScreens, AWindowLargerThanTheScreenStartsAtItsCorner) {
    const TwipRect small{0, 0, 300 * 15, 100 * 15};
    EXPECT_EQ(PullOntoScreens({5000 * 15, 5000 * 15, kWidth, kHeight}, {small}), (TwipPoint{0, 0}));
    EXPECT_EQ(PullOntoScreens({kWidth, 0, kWidth, kHeight}, {}), (TwipPoint{kWidth, 0}))
        << "no screens known: kept";
}

}  // namespace
}  // namespace sonarch
