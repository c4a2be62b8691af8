#include "ui/player_actions.h"

#include <QAction>

namespace sonarch {

namespace {

QAction* makeAction(QObject* parent, const char* name, const char* caption) {
    auto* action = new QAction(caption, parent);
    action->setObjectName(name);
    return action;
}

}  // namespace

PlayerActions::PlayerActions(QObject* parent)
    : QObject(parent),
      play(makeAction(this, "mnuPlay", "Play")),
      pause(makeAction(this, "mnuPause", "Pause")),
      stop(makeAction(this, "mnuStop", "Stop")),
      previous(makeAction(this, "mnuPrev", "Previous")),
      next(makeAction(this, "mnuNext", "Next")),
      eject(makeAction(this, "mnuEject", "Eject")),
      restore(makeAction(this, "mnuRestore", "Restore")),
      minimise(makeAction(this, "mnuMin", "Minimize")),
      options(makeAction(this, "mnuOption", "Options")),
      library(makeAction(this, "mnuLibrary", "Library\u2026")),
      addDisc(makeAction(this, "mnuAddDisc", "Add this disc to the library\u2026")),
      about(makeAction(this, "mnuAbout", "About")),
      exit(makeAction(this, "mnuExit", "Exit")) {
    addDisc->setVisible(false);  // until a disc is read that the library does not hold
}

void PlayerActions::setTransportEnabled(bool enabled) {
    for (QAction* action : {play, pause, stop, previous, next}) {
        action->setEnabled(enabled);
    }
}

}  // namespace sonarch
