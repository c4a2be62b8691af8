#pragma once

#include <QObject>

class QAction;

namespace sonarch {

// One action per command of the player. The buttons, the bar buttons, the pop-up menu and
// the tray menu all trigger these, so each command is wired once. The names are the
// pop-up menu's item names.
class PlayerActions : public QObject {
    Q_OBJECT
public:
    explicit PlayerActions(QObject* parent);

    // The transport set, enabled and disabled together (eject is never disabled).
    void setTransportEnabled(bool enabled);

    QAction* play;
    QAction* pause;
    QAction* stop;
    QAction* previous;
    QAction* next;
    QAction* eject;
    QAction* restore;
    QAction* minimise;
    QAction* options;
    QAction* library;  // the library window
    QAction* addDisc;  // the disc in the drive into the library, while it is not there
    QAction* about;
    QAction* exit;
};

}  // namespace sonarch
