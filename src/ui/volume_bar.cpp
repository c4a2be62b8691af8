#include "ui/volume_bar.h"

#include <algorithm>

#include "core/player_window_model.h"
#include "ui/image_slots.h"
#include "ui/skin_controls.h"
#include "volume/volume_math.h"

namespace sonarch {

VolumeBar::VolumeBar(QWidget* window, const ImageSlots& skin, PlayerWindowModel& model)
    : SkinLabel("picVol", window),
      m_slots(skin),
      m_model(model),
      m_up(new SkinLabel("up", window)),
      m_down(new SkinLabel("down", window)),
      m_fill(new SkinLabel("picVolfill", this)) {
    defineSkinControl(m_up, "up", skin);
    defineSkinControl(m_down, "down", skin);
    defineSkinControl(this, "picVol", skin);
    m_fill->setStyleSheet(
        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, "
        "stop:0 #40f0ff, stop:1 #1060c0);");
    m_fill->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(m_up, &SkinLabel::mouseMove, this, [this] { m_up->setPixmap(m_slots["uh"]); });
    connect(m_down, &SkinLabel::mouseMove, this, [this] { m_down->setPixmap(m_slots["dh"]); });
    connect(m_up, &SkinLabel::clicked, &m_model, &PlayerWindowModel::volumeUp);
    connect(m_down, &SkinLabel::clicked, &m_model, &PlayerWindowModel::volumeDown);
    connect(this, &SkinLabel::mouseMove, this, &VolumeBar::pointerMoved);
    connect(this, &SkinLabel::mouseUp, this, &VolumeBar::released);
}

void VolumeBar::showShare(double percent) {
    if (const auto top = volumeFillTop(percent)) {
        // The bar is 100 units high and the fill reaches past its bottom.
        const double unit = height() / 100.0;
        m_fill->setGeometry(1, int(*top * unit + 0.5), std::max(1, width() - 2), height());
    }
}

void VolumeBar::showNormalSkin() {
    setPixmap(m_slots["picVolNormal"]);
    m_down->setPixmap(m_slots["dn"]);
    m_up->setPixmap(m_slots["un"]);
}

float VolumeBar::unitsAt(QPointF position) const {
    return float(position.y() / std::max(1, height()) * 100);
}

void VolumeBar::pointerMoved(Qt::MouseButtons buttons, QPointF position) {
    setPixmap(m_slots["picVolOver"]);
    m_fill->update();
    if (buttons & Qt::LeftButton) {
        m_model.setVolumeFromBar(unitsAt(position));
    }
}

void VolumeBar::released(Qt::MouseButton button, QPointF position) {
    if (button == Qt::LeftButton) {
        m_model.setVolumeFromBar(unitsAt(position));
    }
}

}  // namespace sonarch
