#include "layout/place_beside_player.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

const TwipSize kScreen{19200, 10800};
const TwipSize kTrackEditor{4800 + 2 * 60, 1965 + 2 * 60 + 360};  // with its frame

TEST(PlaceBesidePlayer, BelowAPlayerNearTheTopAboveOneLowerDown) {
    const TwipRect atTop1000{3000, 1000, 4875, 1760};
    EXPECT_EQ(PlaceBesidePlayer(atTop1000, false, kScreen, kTrackEditor),
              (TwipPoint{3000, 1000 + 1760}));
    const TwipRect atTop3000{450, 3000, 4875, 5255};
    EXPECT_EQ(PlaceBesidePlayer(atTop3000, false, kScreen, kTrackEditor),
              (TwipPoint{450, 3000 - kTrackEditor.height}));
}

TEST(PlaceBesidePlayer, TheBoundaryIs2235Twips) {
    const TwipSize dialog{4000, 2000};
    EXPECT_EQ(PlaceBesidePlayer({0, 2235, 4875, 1760}, false, kScreen, dialog),
              (TwipPoint{0, 2235 + 1760}));
    EXPECT_EQ(PlaceBesidePlayer({0, 2236, 4875, 1760}, false, kScreen, dialog),
              (TwipPoint{0, 2236 - 2000}));
    EXPECT_EQ(PlaceBesidePlayer({-300, -500, 4875, 1760}, false, kScreen, dialog),
              (TwipPoint{-300, -500 + 1760}));
}

TEST(PlaceBesidePlayer, CentredOnTheScreenWhileThePlayerIsMinimised) {
    const TwipRect anywhere{3000, 6000, 4875, 1760};
    EXPECT_EQ(PlaceBesidePlayer(anywhere, true, kScreen, {4800, 2000}), (TwipPoint{7200, 4400}));
    // Half twips round to the even neighbour.
    EXPECT_EQ(PlaceBesidePlayer(anywhere, true, {19201, 10803}, {4800, 2000}),
              (TwipPoint{7200, 4402}));
}

}  // namespace
}  // namespace sonarch
