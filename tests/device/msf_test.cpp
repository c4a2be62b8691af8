#include "device/mci/msf.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

TEST(Msf, FormatsFrameCounts) {
    EXPECT_EQ(formatMsf(150), "00:02:00");
    EXPECT_EQ(formatMsf(18780), "04:10:30");
    EXPECT_EQ(formatMsf(449999), "99:59:74");
    EXPECT_EQ(formatMsf(450000), "100:00:00");
    EXPECT_EQ(formatTmsf(3, 4 * 75 + 2), "03:00:04:02");
}

TEST(Msf, ParsesOnlyWellFormedTimes) {
    EXPECT_EQ(parseMsf("04:10:30"), 18780);
    EXPECT_EQ(parseMsf("0:0:1"), 1);
    EXPECT_FALSE(parseMsf("04:60:00"));
    EXPECT_FALSE(parseMsf("04:10:75"));
    EXPECT_FALSE(parseMsf("04:10"));
    EXPECT_FALSE(parseMsf("-1:00:00"));
    EXPECT_FALSE(parseMsf("a:00:00"));
    EXPECT_FALSE(parseMsf(""));
}

}  // namespace
}  // namespace sonarch
