#include "ui/star_rating.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

TEST(StarRating, HalfStarStepsFromOneToTen) {
    constexpr auto E = StarState::Empty;
    constexpr auto H = StarState::Half;
    constexpr auto F = StarState::Full;
    using Stars = std::array<StarState, 5>;
    const Stars table[] = {
        {E, E, E, E, E},  // 0
        {H, E, E, E, E},  // 1
        {F, E, E, E, E},  // 2
        {F, H, E, E, E},  // 3
        {F, F, E, E, E},  // 4
        {F, F, H, E, E},  // 5
        {F, F, F, E, E},  // 6
        {F, F, F, H, E},  // 7
        {F, F, F, F, E},  // 8
        {F, F, F, F, H},  // 9
        {F, F, F, F, F},  // 10
    };
    for (int rating = 0; rating <= 10; ++rating) {
        EXPECT_EQ(StarsForRating(std::int16_t(rating)), table[rating]) << "rating " << rating;
    }
}

TEST(StarRating, RatingsOutsideOneToTenDrawNoStar) {
    const std::array<StarState, 5> none{StarState::Empty, StarState::Empty, StarState::Empty,
                                        StarState::Empty, StarState::Empty};
    for (int rating : {-1, 11, 12, -32768, 32767}) {
        EXPECT_EQ(StarsForRating(std::int16_t(rating)), none) << "rating " << rating;
    }
}

}  // namespace
}  // namespace sonarch
