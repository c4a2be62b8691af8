#pragma once

#include <array>
#include <cstdint>

namespace sonarch {

enum class StarState { Empty, Half, Full };

// What ShowStar draws in the five star boxes t1..t5 for a rating: star k is full when the
// rating is at least 2k, half when it is 2k - 1. Ratings outside 1..10 draw no star.
std::array<StarState, 5> StarsForRating(std::int16_t rating);

}  // namespace sonarch
