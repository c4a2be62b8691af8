#include "volume/volume_math.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

TEST(VolumeMath, TheStartUpLevelFillsHalfTheBar) {
    EXPECT_NEAR(volumeBarPercent(65000, 65000 - 34000), 52.3, 0.05);
}

TEST(VolumeMath, UpAndDownStepFromTheBarAndClamp) {
    EXPECT_EQ(volumeStepUp(50), 35500);
    EXPECT_NEAR(volumeBarPercent(65000, 65000 - 35500), 54.6, 0.05);
    EXPECT_EQ(volumeStepUp(97), 65000) << "66050 is clamped";
    EXPECT_EQ(volumeBarPercent(65000, 0), 100);
    EXPECT_FALSE(volumeFillTop(100)) << "at 100 % the fill stays where it was";
    EXPECT_EQ(volumeStepDown(2), 0) << "-1700 is clamped";
    EXPECT_EQ(volumeFillTop(0), 100.0);
}

TEST(VolumeMath, ThePointerSetsTheLevelFromItsHeight) {
    const PointerVolume middle = volumeAtPointer(50, 100);
    EXPECT_EQ(middle.level, 32500);
    EXPECT_EQ(volumeBarPercent(middle.barTotal, middle.barVol), 50);
    const PointerVolume below = volumeAtPointer(120, 100);
    EXPECT_EQ(below.level, 650);
    EXPECT_EQ(volumeFillTop(volumeBarPercent(below.barTotal, below.barVol)), 120.0)
        << "the fill lies wholly below the bar";
    EXPECT_EQ(volumeAtPointer(1, 100).level, 64350);
    EXPECT_EQ(volumeAtPointer(0, 100).level, 63050) << "at the top edge counts as 3";
    EXPECT_EQ(volumeAtPointer(-7.2f, 100).level, 63050);
    EXPECT_EQ(volumeAtPointer(100, 100).level, 650);
}

}  // namespace
}  // namespace sonarch
