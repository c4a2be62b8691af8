#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "ui/dialogs/options_dialog.h"

class QAction;
class QMenu;
class QWidget;

namespace sonarch {

class Player;

// Opening another disc from the window: "Open Disc Image…" asks for a CUE sheet, TOC file
// or Nero image, and the "Open CD Drive" menu lists the system's drives as they are when
// it opens. Both hand the choice to the player, which opens it off the window's thread
// and says in the status line when it cannot.
class OpenDiscMenu : public QObject {
    Q_OBJECT
public:
    using DriveList = std::function<std::vector<std::string>()>;

    // `openImage` is the action that asks for an image; `chooser` shows the file dialog
    // (the desktop's own when empty); `drives` lists the drives.
    OpenDiscMenu(QWidget* window, Player& player, QAction* openImage, FileChooser chooser,
                 DriveList drives);

    // The "Open CD Drive" submenu, for the window's and the tray's menu.
    QMenu* drivesMenu() const { return m_drives; }
    // Asks for an image and opens it; nothing when the user cancels.
    void chooseImage();

private:
    void listDrives();

    QWidget* m_window;
    Player& m_player;
    FileChooser m_chooser;
    DriveList m_listDrives;
    QMenu* m_drives;
    QString m_folder;  // where the dialog opens: the last image's folder
};

}  // namespace sonarch
