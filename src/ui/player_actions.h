#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <array>

class QAction;
class QWidget;

namespace sonarch {

// One action per command of the player. The buttons, the bar buttons, the pop-up menu and
// the tray menu all trigger these, so each command is wired once. The names are the
// pop-up menu's item names. Each has its keys, which the menus show beside it; they work
// while the window has the keyboard.
class PlayerActions : public QObject {
    Q_OBJECT
public:
    explicit PlayerActions(QObject* parent);

    // The transport set, enabled and disabled together (eject is never disabled).
    void setTransportEnabled(bool enabled);
    // Space and the play/pause media keys play, or pause while the disc plays: the key
    // moves between the two items so that the menu shows what it will do.
    void setPlaying(bool playing);
    // Makes the keys work in `window` (and the widgets in it).
    void addKeysTo(QWidget* window) const;
    // The first key of `action` in the desktop's words ("Space", "Ctrl+O"), empty for none.
    static QString keyText(const QAction* action);

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
    QAction* openImage;
    // Commands with keys and buttons, though not in the menu.
    QAction* rewind;
    QAction* fastForward;
    QAction* volumeUp;
    QAction* volumeDown;
    QAction* playRow;                   // the selected row of the track list
    std::array<QAction*, 10> tracks{};  // tracks 1..10 on the keys 1..9 and 0

private:
    QList<QKeySequence> m_playPauseKeys;
};

}  // namespace sonarch
