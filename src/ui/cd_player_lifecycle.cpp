// Start-up and shut-down of the player window around those of the player.
#include "core/settings_file.h"
#include "layout/onto_screens.h"
#include "ui/cd_player.h"
#include "ui/dialogs/about_box.h"
#include "ui/dialogs/options_dialog.h"
#include "ui/placement.h"
#include "ui/player_actions.h"
#include "ui/skin_label.h"
#include "ui/skin_style.h"
#include "ui/tray_icon.h"

namespace sonarch {

bool CDPlayer::Form_Load() {
    const TwipSize screen = screenTwips(this);
    const Settings& s = m_player.loadSettings(CentredWindowPosition(
        screen.width, screen.height, width() * kTwipsPerPixel, height() * kTwipsPerPixel));
    const bool startInTray = s.inTray && !s.barMode;

    setTextColour(lAlwaysTop, s.alwaysOnTop ? kOptionOn : kOptionOff);
    setWindowFlag(Qt::WindowStaysOnTopHint, s.alwaysOnTop);
    setTextColour(lContinue, s.continuousPlay ? kOptionOn : kOptionOff);
    move(toPixels(s.windowLeft), toPixels(s.windowTop));
    if (s.barMode) {
        applyBarLayout();
    } else {
        applyNormalLayout();
        if (s.trackListShown) {
            // The list reopens as it was left, so the flag and the window agree.
            m_player.setTrackListShown(false);
            toggleTrackList();
        }
    }
    // Laid out, so at its full size: a place stored off every screen of today comes back.
    const TwipPoint onScreen = PullOntoScreens(toTwipRect(geometry()), screenAreasTwips());
    move(toPixels(onScreen.left), toPixels(onScreen.top));

    m_tray = new TrayIcon(windowIcon(), mnuPop, this, m_trayAvailable);
    connect(m_tray, &TrayIcon::restoreRequested, this, &CDPlayer::restoreFromTray);
    // Shown once placed and laid out (a later change of the stacking flag would hide it
    // again); showing it adds the tray icon. A start in the tray never flashes the window.
    if (!startInTray) {
        show();
    }
    placeLogo();

    if (!m_player.start()) {
        show();  // start-up ends here, before the tray step, so the window stays in view
        finishLoad();
        return false;
    }
    picProg->setPixmap(m_slots["sBarNormal"]);
    picVol->setPixmap(m_slots["picVolNormal"]);
    picBarProg->hide();
    if (startInTray) {
        m_tray->show();
        hideToTray();
    }
    finishLoad();
    return true;
}

void CDPlayer::finishLoad() {
    m_loaded = true;
    if (m_closeWhenLoaded) {
        // Asked to close during start-up (a signal while a message was up): the window
        // closes the normal way as soon as the program's event loop runs.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void CDPlayer::Form_Unload() {
    if (m_unloaded || !m_loaded) {
        return;
    }
    m_unloaded = true;
    // The side windows close first, so the options dialog gives the poll back before the
    // player stops for good.
    if (m_optionsDialog) {
        m_optionsDialog->reject();
    }
    if (m_aboutBox) {
        m_aboutBox->reject();
    }
    m_player.shutDown({double(x()) * kTwipsPerPixel, double(y()) * kTwipsPerPixel});
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

}  // namespace sonarch
