#include "ui/progress_bar.h"

#include <algorithm>

#include "core/player_window_model.h"
#include "ui/image_slots.h"
#include "ui/skin_controls.h"

namespace sonarch {

ProgressBar::ProgressBar(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model)
    : SkinLabel("picProg", window),
      m_slots(skin),
      m_model(model),
      m_fill(new SkinLabel("picFill", this)),
      m_twin(new SkinLabel("picBarProg", window)),
      m_twinFill(new SkinLabel("picBarFill", m_twin)) {
    defineSkinControl(this, "picProg", skin);
    m_fill->setStyleSheet("background: #30d8ff;");
    m_fill->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_fill->setGeometry(0, 1, 0, 2);
    defineSkinControl(m_twin, "picBarProg", skin);
    m_twin->setStyleSheet("background: #040a1c;");
    m_twinFill->setStyleSheet("background: #30d8ff;");
    m_twinFill->setGeometry(0, 0, 0, 1);
    connect(this, &SkinLabel::mouseMove, this, &ProgressBar::pointerMoved);
    connect(this, &SkinLabel::mouseUp, this, &ProgressBar::released);
}

void ProgressBar::setPercent(int percent) {
    // The bars are 100 units wide: a width in units is a percentage.
    m_fill->setGeometry(0, height() / 4, width() * percent / 100, std::max(1, height() / 2));
    m_twinFill->setGeometry(0, 0, m_twin->width() * percent / 100, m_twin->height());
}

void ProgressBar::showNormalSkin() {
    setPixmap(m_slots["sBarNormal"]);
}

double ProgressBar::fractionAt(QPointF position) const {
    return position.x() / std::max(1, width());
}

void ProgressBar::pointerMoved(Qt::MouseButtons buttons, QPointF position) {
    if (!m_model.canSeekOnBar()) {
        return;  // no disc read yet: not even the highlight
    }
    if (buttons & Qt::LeftButton) {
        m_model.dragOnBar(fractionAt(position));
    } else if (buttons == Qt::NoButton) {
        if (const auto tooltip = m_model.seekTooltip(fractionAt(position))) {
            setToolTip(QString::fromStdString(*tooltip));
        }
    }
    setPixmap(m_slots["sBarOver"]);
    m_fill->update();
}

void ProgressBar::released(Qt::MouseButton button, QPointF position) {
    if (button == Qt::LeftButton) {
        m_model.clickOnBar(fractionAt(position));
    }
}

}  // namespace sonarch
