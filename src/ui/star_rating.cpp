#include "ui/star_rating.h"

namespace sonarch {

std::array<StarState, 5> StarsForRating(std::int16_t rating) {
    std::array<StarState, 5> stars{};
    stars.fill(StarState::Empty);
    if (rating < 1 || rating > 10) {
        return stars;
    }
    for (int k = 1; k <= 5; ++k) {
        if (rating >= 2 * k) {
            stars[std::size_t(k - 1)] = StarState::Full;
        } else if (rating == 2 * k - 1) {
            stars[std::size_t(k - 1)] = StarState::Half;
        }
    }
    return stars;
}

}  // namespace sonarch
