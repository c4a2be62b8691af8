#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

class QMenu;

namespace sonarch {

class ImageSlots;
class PlayerWindowModel;
class SkinLabel;

enum class StarState { Empty, Half, Full };

// What the five star boxes t1..t5 show for a rating: star k is full when the rating is at
// least 2k, half when it is 2k - 1. Ratings outside 1..10 draw no star.
std::array<StarState, 5> StarsForRating(std::int16_t rating);

// The current track's rating as stars (t1..t5), with the rating letter (lRandom) whose
// press opens the rating menu (mnuRate, 10 down to 1) that rates the current track.
class StarRating : public QWidget {
    Q_OBJECT
public:
    StarRating(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model);

    // ShowStar: the stars of a rating; none for a value outside 1..10.
    void showRating(int rating);
    // The letter's own colour again, after the pointer's highlight.
    void showNormalSkin();

private:
    const ImageSlots& m_slots;
    SkinLabel* m_letter;
    std::array<SkinLabel*, 5> m_stars{};
    QMenu* m_menu;
};

}  // namespace sonarch
