// Start-up and shut-down of the player window.
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

#include "core/settings_file.h"
#include "ui/cd_player.h"
#include "ui/placement.h"
#include "ui/skin_label.h"
#include "volume/volume_math.h"

namespace sonarch {

namespace {

constexpr const char* kTrayTip = "Sonarch Database CD Player";

}  // namespace

bool CDPlayer::Form_Load() {
    m_state.blinkCounter = 1;
    const TwipSize screen = screenTwips(this);
    const WindowPosition centred = CentredWindowPosition(
        screen.width, screen.height, width() * kTwipsPerPixel, height() * kTwipsPerPixel);
    m_state.settings = m_services.loadSettings(centred.left, centred.top);
    Settings& s = m_state.settings;
    const bool startInTray = s.inTray && !s.barMode;

    setOptionColour(lAlwaysTop, s.alwaysOnTop ? kOptionOn : kOptionOff);
    setWindowFlag(Qt::WindowStaysOnTopHint, s.alwaysOnTop);
    setOptionColour(lContinue, s.continuousPlay ? kOptionOn : kOptionOff);
    move(toPixels(s.windowLeft), toPixels(s.windowTop));
    if (s.barMode) {
        s.trackListShown = false;
        applyBarLayout();
    } else {
        applyNormalLayout();
        if (s.trackListShown) {
            // The list reopens as it was left, so the flag and the window agree.
            s.trackListShown = false;
            toggleTrackList();
        }
    }

    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setObjectName("trayIcon");
    m_tray->setToolTip(kTrayTip);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::DoubleClick) {
                    restoreFromTray();
                } else if (why == QSystemTrayIcon::Context) {
                    mnuPop->popup(QCursor::pos());
                }
            });
    // Shown once placed and laid out (a later change of the stacking flag would hide it
    // again); showing it adds the tray icon. A start in the tray never flashes the window.
    if (!startInTray) {
        show();
    }

    m_device.DeviceQuery("open cdaudio alias cd wait shareable");
    m_device.DeviceQuery("set cd time format tmsf");
    m_state.discLoaded = false;
    placeLogo();

    s.volumeLevel = StartupVolume(s.volumeLevel);
    SetMixerVolume(m_services.mixer, s.volumeLevel);
    IndicateVol(kFullVolume, kFullVolume - s.volumeLevel);
    if (!m_services.mixer.open()) {
        m_services.messages.showMessage("Mixer can not open.");
        show();  // start-up ends here, before the tray step, so the window stays in view
        m_loaded = true;
        return false;
    }

    picProg->setPixmap(m_slots["sBarNormal"]);
    picVol->setPixmap(m_slots["picVolNormal"]);
    picBarProg->hide();
    m_state.discLookupPending = true;
    Timer1->start();
    if (startInTray) {
        hideToTray();
        m_tray->show();
    }
    m_loaded = true;
    return true;
}

void CDPlayer::Form_Unload() {
    if (m_unloaded || !m_loaded) {
        return;
    }
    m_unloaded = true;
    Timer1->stop();
    m_device.DeviceQuery("stop cd");
    m_device.DeviceQuery("close cd");
    m_device.DeviceQuery("close all");
    m_services.saveSettings(m_state.settings, double(x()) * kTwipsPerPixel,
                            double(y()) * kTwipsPerPixel);
    if (m_tray) {
        m_tray->hide();
    }
}

void CDPlayer::placeLogo() {
    imgLogo->resize(picLogo->size());
    imgLogo->move(picLogo->width() / 2 - imgLogo->width() / 2,
                  picLogo->height() / 2 - imgLogo->height() / 2);
    imgLogo->setPixmap(m_slots["pLogo"]);
}

void CDPlayer::IndicateVol(std::int32_t lngTotal, std::int32_t lngVol) {
    m_state.volumePercent = volumeBarPercent(lngTotal, lngVol);
    if (const auto top = volumeFillTop(m_state.volumePercent)) {
        // The bar is 100 units high and the fill reaches past its bottom.
        const double unit = picVol->height() / 100.0;
        picVolfill->setGeometry(1, int(*top * unit + 0.5), std::max(1, picVol->width() - 2),
                                picVol->height());
    }
}

}  // namespace sonarch
