#include "ui/player_actions.h"

#include <QAction>
#include <QWidget>

namespace sonarch {

namespace {

QAction* makeAction(QObject* parent, const char* name, const char* caption,
                    QList<QKeySequence> keys = {}) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(name);
    action->setShortcuts(keys);
    // The keys work in the whole window, also while a part of it has the keyboard.
    action->setShortcutContext(Qt::WindowShortcut);
    return action;
}

}  // namespace

PlayerActions::PlayerActions(QObject* parent)
    : QObject(parent),
      play(makeAction(this, "mnuPlay", "Play")),
      pause(makeAction(this, "mnuPause", "Pause")),
      stop(makeAction(this, "mnuStop", "Stop", {Qt::Key_MediaStop})),
      previous(makeAction(this, "mnuPrev", "Previous",
                          {Qt::Key_PageUp, Qt::CTRL | Qt::Key_Left, Qt::Key_MediaPrevious})),
      next(makeAction(this, "mnuNext", "Next",
                      {Qt::Key_PageDown, Qt::CTRL | Qt::Key_Right, Qt::Key_MediaNext})),
      eject(makeAction(this, "mnuEject", "Eject", {Qt::Key_E})),
      restore(makeAction(this, "mnuRestore", "Restore")),
      minimise(makeAction(this, "mnuMin", "Minimize")),
      options(makeAction(this, "mnuOption", "Options")),
      library(makeAction(this, "mnuLibrary", "Library\u2026")),
      addDisc(makeAction(this, "mnuAddDisc", "Add this disc to the library\u2026")),
      about(makeAction(this, "mnuAbout", "About")),
      exit(makeAction(this, "mnuExit", "Exit", {QKeySequence(Qt::CTRL | Qt::Key_Q)})),
      openImage(makeAction(this, "mnuOpenImage", "Open Disc Image…",
                           {QKeySequence(Qt::CTRL | Qt::Key_O)})),
      rewind(makeAction(this, "actRewind", "Rewind", {Qt::Key_Left})),
      fastForward(makeAction(this, "actFastForward", "Fast forward", {Qt::Key_Right})),
      volumeUp(makeAction(this, "actVolumeUp", "Increase volume", {Qt::Key_Up})),
      volumeDown(makeAction(this, "actVolumeDown", "Decrease volume", {Qt::Key_Down})),
      playRow(makeAction(this, "actPlayRow", "Play the selected track",
                         {Qt::Key_Return, Qt::Key_Enter})),
      m_playPauseKeys{Qt::Key_Space, Qt::Key_MediaTogglePlayPause, Qt::Key_MediaPlay} {
    for (int i = 0; i < 10; ++i) {
        const QByteArray name = "actTrack" + QByteArray::number(i + 1);
        tracks[std::size_t(i)] =
            makeAction(this, name.constData(), "", {Qt::Key(Qt::Key_0 + (i + 1) % 10)});
        tracks[std::size_t(i)]->setText(QString("Track %1").arg(i + 1));
    }
    setPlaying(false);
    addDisc->setVisible(false);  // until a disc is read that the library does not hold
}

void PlayerActions::setTransportEnabled(bool enabled) {
    for (QAction* action : {play, pause, stop, previous, next, rewind, fastForward}) {
        action->setEnabled(enabled);
    }
}

void PlayerActions::setPlaying(bool playing) {
    (playing ? pause : play)->setShortcuts(m_playPauseKeys);
    (playing ? play : pause)->setShortcuts({});
}

void PlayerActions::addKeysTo(QWidget* window) const {
    window->addActions({play, pause, stop, previous, next, eject, exit, openImage, rewind,
                        fastForward, volumeUp, volumeDown, playRow});
    for (QAction* track : tracks) {
        window->addAction(track);
    }
}

QString PlayerActions::keyText(const QAction* action) {
    return action->shortcut().toString(QKeySequence::NativeText);
}

}  // namespace sonarch
