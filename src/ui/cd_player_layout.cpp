// The three layouts of the player window (normal, expanded, bar) and hiding to the tray.
#include <QEvent>
#include <QLineEdit>
#include <QTreeWidget>

#include "ui/cd_player.h"
#include "ui/placement.h"
#include "ui/skin_label.h"
#include "ui/tray_icon.h"

namespace sonarch {

namespace {

void moveToTwips(QWidget* control, const std::optional<TwipRect>& rect) {
    if (rect) {
        control->move(toPixels(rect->left), toPixels(rect->top));
    }
}

}  // namespace

void CDPlayer::applyNormalLayout() {
    m_player.leaveBarLayout();
    picBar->setPixmap(m_slots["picbarNorm"]);
    setHeightTwips(kNormalHeightTwips);
    for (SkinLabel* label : {BarTime, Bartrack, BarTotal}) {
        label->hide();
    }
    for (SkinLabel* picture : {picStop, picPause, PicPlay, picLogo}) {
        moveToTwips(picture, designedPlace(picture->objectName().toStdString()));
    }
    for (SkinLabel* button : {picBarprev, picBarrew, picBarplay, picBarpause, picBarstop, picBarff,
                              picBarnext, picBarProg}) {
        button->hide();
    }
    showLayoutDependentControls();
    update();
}

void CDPlayer::applyBarLayout() {
    m_player.enterBarLayout();
    picBar->setPixmap(m_slots["picbarRest"]);
    picExpand->setPixmap(m_slots["picex"]);
    setHeightTwips(kBarHeightTwips);
    for (SkinLabel* label : {BarTime, Bartrack, BarTotal}) {
        label->show();
        label->raise();
    }
    for (SkinLabel* picture : {picStop, picPause, PicPlay, picLogo}) {
        moveToTwips(picture, barPlace(picture->objectName().toStdString()));
    }
    for (SkinLabel* button : {picBarprev, picBarrew, picBarplay, picBarpause, picBarstop, picBarff,
                              picBarnext, picBarProg}) {
        button->show();
        button->raise();
    }
    showLayoutDependentControls();
    update();
}

void CDPlayer::toggleBarLayout() {
    // Leaving the bar always returns to the normal layout, never to the expanded one.
    if (m_player.settings().barMode) {
        applyNormalLayout();
    } else {
        applyBarLayout();
    }
}

void CDPlayer::toggleTrackList() {
    openLowerArea(!m_player.settings().trackListShown, picExpand, Picture8);
}

// The list button and the cover button open the same lower area; while one has it open,
// the other is hidden.
void CDPlayer::openLowerArea(bool open, SkinLabel* button, SkinLabel* otherButton) {
    setHeightTwips(open ? kExpandedHeightTwips : kNormalHeightTwips);
    m_player.setTrackListShown(open);
    button->setPixmap(m_slots[open ? "picclose" : "picex"]);
    otherButton->setVisible(!open);
}

void CDPlayer::hideToTray() {
    m_player.setInTray(true);
    minimiseOutOfSight();
}

// Hidden, not iconified: the window manager never sees the window minimised, so none of
// its state changes can arrive late and undo a quick restore. Without a notification area
// to come back from, the window is minimised normally and the taskbar brings it back.
void CDPlayer::minimiseOutOfSight() {
    if (m_tray && m_tray->available()) {
        hide();
        showMinimisedControls(false);
    } else {
        showMinimized();
    }
}

void CDPlayer::restoreFromTray() {
    const bool away = isHidden() || isMinimized();
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    show();
    raise();
    activateWindow();
    if (away) {
        showRestored();
    }
}

// Back from the tray or the taskbar. Hiding to the tray ended the bar layout, so a window
// that still has the bar's look takes the normal layout, as the next start would.
void CDPlayer::showRestored() {
    showMinimisedControls(true);
    m_player.setInTray(false);
    if (!m_player.settings().barMode && !BarTime->isHidden()) {
        applyNormalLayout();
    }
}

void CDPlayer::showMinimisedControls(bool visible) {
    QWidget* const controls[] = {
        btrack,   Command1, eject, ff,    ftrack,   lAlb,      lArt,     lCount,   lTitle,
        lTrack,   ltTime,   N[0],  N[1],  N[2],     N[3],      N[4],     N[5],     N[6],
        N[7],     N[8],     N[9],  pause, Picture1, Picture2,  Picture3, Picture4, Picture6,
        Picture7, picVol,   play,  rew,   stopbtn,  timeWindow};
    for (QWidget* control : controls) {
        control->setVisible(visible);
    }
}

void CDPlayer::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_tray) {
        m_tray->show();  // present from the first display of the window until shut-down
    }
    // On screen, so not in the tray, however it got there: else the next start would
    // open hidden.
    if (!isMinimized()) {
        m_player.setInTray(false);
    }
}

void CDPlayer::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (isVisible() && !isMinimized()) {
        m_player.setInTray(false);
    }
}

void CDPlayer::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    if (windowState() & Qt::WindowMinimized) {
        showMinimisedControls(false);
    } else if (isVisible()) {
        showRestored();
    }
    if (m_tray) {
        m_tray->show();
    }
}

}  // namespace sonarch
