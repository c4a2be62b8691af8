// The three layouts of the player window (normal, expanded, bar) and hiding to the tray.
#include <QEvent>
#include <QLineEdit>
#include <QSystemTrayIcon>
#include <QTreeWidget>

#include "ui/cd_player.h"
#include "ui/placement.h"
#include "ui/skin_label.h"

namespace sonarch {

namespace {

void moveToTwips(QWidget* control, const std::optional<TwipRect>& rect) {
    if (rect) {
        control->move(toPixels(rect->left), toPixels(rect->top));
    }
}

}  // namespace

void CDPlayer::applyNormalLayout() {
    m_state.settings.barMode = false;
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
    update();
}

void CDPlayer::applyBarLayout() {
    m_state.settings.barMode = true;
    m_state.settings.trackListShown = false;
    picBar->setPixmap(m_slots["picbarRest"]);
    picExpand->setPixmap(m_slots["picex"]);
    setHeightTwips(kBarHeightTwips);
    // The strip shows the current texts at once, before the next poll.
    BarTime->setText(timeWindow->text());
    Bartrack->setText(lTrack->text());
    BarTotal->setText(ltTime->text());
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
    update();
}

void CDPlayer::toggleBarLayout() {
    // Leaving the bar always returns to the normal layout, never to the expanded one.
    if (m_state.settings.barMode) {
        applyNormalLayout();
    } else {
        applyBarLayout();
    }
}

void CDPlayer::toggleTrackList() {
    if (m_state.settings.trackListShown) {
        setHeightTwips(kNormalHeightTwips);
        m_state.settings.trackListShown = false;
        picExpand->setPixmap(m_slots["picex"]);
        Picture8->show();
    } else {
        setHeightTwips(kExpandedHeightTwips);
        m_state.settings.trackListShown = true;
        picExpand->setPixmap(m_slots["picclose"]);
        Picture8->hide();
    }
}

void CDPlayer::hideToTray() {
    showMinimized();
    hide();
    m_state.settings.inTray = true;
    m_state.settings.barMode = false;
}

void CDPlayer::restoreFromTray() {
    showNormal();
    show();
    activateWindow();
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
}

void CDPlayer::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) {
        return;
    }
    const bool minimised = windowState() & Qt::WindowMinimized;
    showMinimisedControls(!minimised);
    if (!minimised) {
        m_state.settings.inTray = false;
    }
    if (m_tray) {
        m_tray->show();
    }
}

}  // namespace sonarch
