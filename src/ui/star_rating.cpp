#include "ui/star_rating.h"

#include <QAction>
#include <QCursor>
#include <QMenu>

#include "core/player.h"
#include "core/player_window_model.h"
#include "ui/image_slots.h"
#include "ui/placement.h"
#include "ui/skin_controls.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"

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

StarRating::StarRating(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model)
    : QWidget(window),
      m_slots(skin),
      m_letter(new SkinLabel("lRandom", window)),
      m_menu(new QMenu("Rating", window)) {
    setObjectName("StarRating");
    defineSkinControl(m_letter, "lRandom", skin);
    // The boxes' own places, the first's corner being this part's.
    const QRect first = toPixelRect(*designedPlace("t1"));
    setGeometry(first.united(toPixelRect(*designedPlace("t5"))));
    for (std::size_t k = 0; k < m_stars.size(); ++k) {
        m_stars[k] = new SkinLabel(QString("t%1").arg(k + 1), this);
        defineSkinControl(m_stars[k], m_stars[k]->objectName().toStdString(), skin);
    }

    m_menu->setObjectName("mnuRate");
    Player& player = model.player();
    for (int rating = 10; rating >= 1; --rating) {
        QAction* item = m_menu->addAction(QString::number(rating));
        item->setObjectName(QString("r%1").arg(rating));
        connect(item, &QAction::triggered, this,
                [&player, rating] { player.rateCurrentTrack(rating); });
    }
    styleMenu(m_menu);
    connect(m_letter, &SkinLabel::mouseDown, this, [this] { m_menu->popup(QCursor::pos()); });
    connect(m_letter, &SkinLabel::mouseMove, this, [this] { setTextColour(m_letter, kOptionOn); });
}

void StarRating::showRating(int rating) {
    for (SkinLabel* box : m_stars) {
        box->setPixmap(QPixmap());
    }
    // A value outside a 16-bit rating draws no stars, as any value outside 1..10 does.
    const bool fits = rating >= INT16_MIN && rating <= INT16_MAX;
    const auto stars = StarsForRating(static_cast<std::int16_t>(fits ? rating : 0));
    for (std::size_t k = 0; k < stars.size(); ++k) {
        if (stars[k] == StarState::Full) {
            m_stars[k]->setPixmap(m_slots["ps"]);
        } else if (stars[k] == StarState::Half) {
            m_stars[k]->setPixmap(m_slots["phs"]);
        }
    }
}

void StarRating::showNormalSkin() {
    setTextColour(m_letter, kOptionOff);
}

}  // namespace sonarch
