// The progress bar, fast forward and rewind, the volume bar and its buttons, and the
// background's hover handling that puts every highlight back.
#include <QGuiApplication>
#include <QScreen>

#include "layout/edge_snap.h"
#include "ui/cd_player.h"
#include "ui/placement.h"
#include "ui/skin_label.h"
#include "volume/volume_math.h"

namespace sonarch {

namespace {

constexpr float kBarUnits = 100;  // the progress and volume bars are 100 units long

int buttonNumber(Qt::MouseButtons buttons) {
    if (buttons & Qt::LeftButton) {
        return 1;
    }
    if (buttons & Qt::RightButton) {
        return 2;
    }
    return buttons == Qt::NoButton ? 0 : 4;
}

}  // namespace

void CDPlayer::connectSeeking() {
    connect(ff, &SkinLabel::clicked, this, [this] { m_seeking.ff_Click(); });
    connect(rew, &SkinLabel::clicked, this, [this] { m_seeking.rew_Click(); });
    connect(picBarff, &SkinLabel::clicked, this, [this] { m_seeking.ff_Click(); });
    connect(picBarrew, &SkinLabel::clicked, this, [this] { m_seeking.rew_Click(); });
    auto toUnits = [this](QPointF position) {
        return float(position.x() * kBarUnits / std::max(1, picProg->width()));
    };
    connect(picProg, &SkinLabel::mouseMove, this,
            [this, toUnits](Qt::MouseButtons buttons, QPointF position) {
                const SeekPreview preview = m_seeking.picProg_MouseMove(
                    buttonNumber(buttons), toUnits(position), kBarUnits);
                if (preview.fillPercent) {
                    setProgressWidth(*preview.fillPercent);
                }
                if (preview.timeCaption) {
                    timeWindow->setText(QString::fromStdString(*preview.timeCaption));
                }
                if (preview.tooltip) {
                    picProg->setToolTip(QString::fromStdString(*preview.tooltip));
                }
                if (preview.highlight) {
                    picProg->setPixmap(m_slots["sBarOver"]);
                    picFill->update();
                }
            });
    connect(picProg, &SkinLabel::mouseUp, this,
            [this, toUnits](Qt::MouseButton button, QPointF position) {
                m_seeking.picProg_MouseUp(buttonNumber(button), toUnits(position), kBarUnits);
            });
}

void CDPlayer::setVolumeLevel(std::int32_t level) {
    m_state.settings.volumeLevel = level;
    SetMixerVolume(m_services.mixer, level);
}

void CDPlayer::connectVolume() {
    connect(up, &SkinLabel::mouseMove, this, [this] { up->setPixmap(m_slots["uh"]); });
    connect(down, &SkinLabel::mouseMove, this, [this] { down->setPixmap(m_slots["dh"]); });
    connect(up, &SkinLabel::clicked, this, [this] {
        const std::int32_t level = volumeStepUp(m_state.volumePercent);
        setVolumeLevel(level);
        IndicateVol(kFullVolume, kFullVolume - level);
    });
    connect(down, &SkinLabel::clicked, this, [this] {
        const std::int32_t level = volumeStepDown(m_state.volumePercent);
        setVolumeLevel(level);
        IndicateVol(kFullVolume, kFullVolume - level);
    });
    auto fromPointer = [this](QPointF position) {
        const float y = float(position.y() * kBarUnits / std::max(1, picVol->height()));
        const PointerVolume volume = volumeAtPointer(y, kBarUnits);
        setVolumeLevel(volume.level);
        IndicateVol(volume.barTotal, volume.barVol);
    };
    connect(picVol, &SkinLabel::mouseMove, this,
            [this, fromPointer](Qt::MouseButtons buttons, QPointF position) {
                picVol->setPixmap(m_slots["picVolOver"]);
                picVolfill->update();
                if (buttonNumber(buttons) == 1) {
                    fromPointer(position);
                }
            });
    connect(picVol, &SkinLabel::mouseUp, this,
            [fromPointer](Qt::MouseButton button, QPointF position) {
                if (button == Qt::LeftButton) {
                    fromPointer(position);
                }
            });
}

void CDPlayer::RestoreNormalSkin() {
    picProg->setPixmap(m_slots["sBarNormal"]);
    picVol->setPixmap(m_slots["picVolNormal"]);
    down->setPixmap(m_slots["dn"]);
    up->setPixmap(m_slots["un"]);
    setOptionColour(lOption, kOptionOff);
    setOptionColour(lRandom, kOptionOff);
}

void CDPlayer::SnapToScreenEdges() {
    const QScreen* screen = this->screen();
    if (!screen || isMinimized()) {
        return;
    }
    const TwipPoint at =
        sonarch::SnapToScreenEdges(toTwipRect(geometry()), toTwipRect(screen->geometry()));
    move(toPixels(at.left), toPixels(at.top));
}

}  // namespace sonarch
