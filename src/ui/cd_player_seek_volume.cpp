// The progress bar, the volume bar and its buttons, and the background's hover handling
// that puts every highlight back.
#include "ui/cd_player.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"
#include "volume/volume_math.h"

namespace sonarch {

namespace {

double fractionOf(double length, int whole) {
    return length / std::max(1, whole);
}

}  // namespace

void CDPlayer::connectSeeking() {
    connect(picProg, &SkinLabel::mouseMove, this, &CDPlayer::picProg_MouseMove);
    connect(picProg, &SkinLabel::mouseUp, this, &CDPlayer::picProg_MouseUp);
}

void CDPlayer::picProg_MouseMove(Qt::MouseButtons buttons, QPointF position) {
    if (!m_player.canSeekOnBar()) {
        return;  // no disc read yet: not even the highlight
    }
    const double fraction = fractionOf(position.x(), picProg->width());
    if (buttons & Qt::LeftButton) {
        m_player.dragOnBar(fraction);
    } else if (buttons == Qt::NoButton) {
        if (const auto tooltip = m_player.seekTooltip(fraction)) {
            picProg->setToolTip(QString::fromStdString(*tooltip));
        }
    }
    picProg->setPixmap(m_slots["sBarOver"]);
    picFill->update();
}

void CDPlayer::picProg_MouseUp(Qt::MouseButton button, QPointF position) {
    if (button == Qt::LeftButton) {
        m_player.clickOnBar(fractionOf(position.x(), picProg->width()));
    }
}

void CDPlayer::connectVolume() {
    connect(up, &SkinLabel::mouseMove, this, [this] { up->setPixmap(m_slots["uh"]); });
    connect(down, &SkinLabel::mouseMove, this, [this] { down->setPixmap(m_slots["dh"]); });
    connect(up, &SkinLabel::clicked, this, [this] { m_player.volumeUp(); });
    connect(down, &SkinLabel::clicked, this, [this] { m_player.volumeDown(); });
    connect(picVol, &SkinLabel::mouseMove, this, &CDPlayer::picVol_MouseMove);
    connect(picVol, &SkinLabel::mouseUp, this, &CDPlayer::picVol_MouseUp);
}

void CDPlayer::picVol_MouseMove(Qt::MouseButtons buttons, QPointF position) {
    picVol->setPixmap(m_slots["picVolOver"]);
    picVolfill->update();
    if (buttons & Qt::LeftButton) {
        m_player.setVolumeFromBar(float(fractionOf(position.y(), picVol->height()) * 100));
    }
}

void CDPlayer::picVol_MouseUp(Qt::MouseButton button, QPointF position) {
    if (button == Qt::LeftButton) {
        m_player.setVolumeFromBar(float(fractionOf(position.y(), picVol->height()) * 100));
    }
}

void CDPlayer::IndicateVol(double percent) {
    if (const auto top = volumeFillTop(percent)) {
        // The bar is 100 units high and the fill reaches past its bottom.
        const double unit = picVol->height() / 100.0;
        picVolfill->setGeometry(1, int(*top * unit + 0.5), std::max(1, picVol->width() - 2),
                                picVol->height());
    }
}

void CDPlayer::RestoreNormalSkin() {
    picProg->setPixmap(m_slots["sBarNormal"]);
    picVol->setPixmap(m_slots["picVolNormal"]);
    down->setPixmap(m_slots["dn"]);
    up->setPixmap(m_slots["un"]);
    setTextColour(lOption, kOptionOff);
    setTextColour(lRandom, kOptionOff);
}

}  // namespace sonarch
