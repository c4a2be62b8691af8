#include "layout/cover_fit.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

const TwipSize kPanel{4630, 3200};
const TwipRect kDesigned{90, 90, 1185, 510};

TEST(CoverGeometry, WorkedSizes) {
    struct Case {
        TwipSize picture;
        TwipRect expected;
    };
    const Case cases[] = {
        // Smaller than the panel: natural size, centred.
        {{3000, 2000}, {815, 600, 3000, 2000}},
        // Too wide: 4630 wide, 3200 - 4630 / 2.89375 high.
        {{9260, 3200}, {0, 800, 4630, 1600}},
        // Too high: 3200 high, 2000 - 3200 * 0.3125 wide.
        {{2000, 6400}, {1815, 0, 1000, 3200}},
        // Exactly the panel.
        {{4630, 3200}, {0, 0, 4630, 3200}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.picture.width) + "x" + std::to_string(c.picture.height));
        EXPECT_EQ(FitCoverImage(kPanel, c.picture, kDesigned), c.expected);
    }
}

TEST(CoverGeometry, PictureWithoutWidthOrHeightKeepsThePreviousSizeCentred) {
    const TwipRect previous{815, 600, 3000, 2000};
    const TwipRect centred{815, 600, 3000, 2000};
    EXPECT_EQ(FitCoverImage(kPanel, {0, 0}, previous), centred);
    EXPECT_EQ(FitCoverImage(kPanel, {0, 1500}, previous), centred);
    EXPECT_EQ(FitCoverImage(kPanel, {1500, 0}, previous), centred);
    // Even when the missing side would have been cut to the panel.
    EXPECT_EQ(FitCoverImage(kPanel, {9000, 0}, previous), centred);
    EXPECT_EQ(FitCoverImage(kPanel, {0, 9000}, previous), centred);
    // The previous place does not matter, only its size.
    EXPECT_EQ(FitCoverImage(kPanel, {0, 0}, kDesigned), (TwipRect{1723, 1345, 1185, 510}));
}

TEST(CoverGeometry, LargePhotographsKeepTheirProportions) {
    // 3000 x 3000 pixels: the width reduction is 40370 twips, far more than a 16-bit
    // number holds; the picture still comes out square.
    EXPECT_EQ(FitCoverImage(kPanel, {45000, 45000}, kDesigned), (TwipRect{715, 0, 3200, 3200}));
    // A wide banner, ratio 20: the height loses 87970 / 20 = 4398.5 twips, rounded to the
    // even 4398.
    const TwipRect banner = FitCoverImage(kPanel, {92600, 4630}, kDesigned);
    EXPECT_EQ(banner.width, 4630);
    EXPECT_EQ(banner.height, 4630 - 4398);
    EXPECT_EQ(banner.left, 0);
}

TEST(CoverGeometry, ReductionsRoundToTheNearestEvenTwip) {
    // ratio 2.5: the height loses (5000 - 4630) / 2.5 = 148 twips exactly.
    EXPECT_EQ(FitCoverImage(kPanel, {5000, 2000}, kDesigned), (TwipRect{0, 674, 4630, 1852}));
    // ratio 4: the height loses 370 / 4 = 92.5, rounded to 92 (even).
    EXPECT_EQ(FitCoverImage(kPanel, {5000, 1250}, kDesigned).height, 1250 - 92);
    // ratio 4: a loss of 1110 / 4 = 277.5 rounds to 278 (even).
    EXPECT_EQ(FitCoverImage(kPanel, {5740, 1435}, kDesigned).height, 1435 - 278);
}

}  // namespace
}  // namespace sonarch
