#include "ui/open_disc_menu.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "core/player.h"
#include "ui/skin_style.h"

namespace sonarch {

OpenDiscMenu::OpenDiscMenu(QWidget* window, Player& player, QAction* openImage, FileChooser chooser,
                           DriveList drives)
    : QObject(window),
      m_window(window),
      m_player(player),
      m_chooser(chooser ? std::move(chooser) : systemFileChooser()),
      m_listDrives(std::move(drives)),
      m_drives(new QMenu("Open CD Drive", window)),
      m_folder(QDir::homePath()) {
    m_drives->setObjectName("mnuDrives");
    m_drives->menuAction()->setObjectName("mnuOpenDrive");
    styleMenu(m_drives);
    connect(openImage, &QAction::triggered, this, &OpenDiscMenu::chooseImage);
    // Drives come and go (a USB drive plugged in): listed anew each time the menu opens.
    connect(m_drives, &QMenu::aboutToShow, this, &OpenDiscMenu::listDrives);
    listDrives();
}

void OpenDiscMenu::chooseImage() {
    const auto chosen =
        m_chooser(m_window, {"Open Disc Image",
                             "Disc images (*.cue *.toc *.nrg *.CUE *.TOC *.NRG);;All files (*)",
                             m_folder, ""});
    if (!chosen || chosen->isEmpty()) {
        return;
    }
    m_folder = QFileInfo(*chosen).absolutePath();
    m_player.openDrive(QFileInfo(*chosen).absoluteFilePath().toStdString());
}

void OpenDiscMenu::listDrives() {
    m_drives->clear();
    const std::vector<std::string> drives =
        m_listDrives ? m_listDrives() : std::vector<std::string>{};
    if (drives.empty()) {
        m_drives->addAction("No CD drive was found")->setEnabled(false);
        return;
    }
    for (const std::string& drive : drives) {
        QAction* item = m_drives->addAction(QString::fromStdString(drive));
        item->setObjectName(QString::fromStdString("drive:" + drive));
        connect(item, &QAction::triggered, this, [this, drive] { m_player.openDrive(drive); });
    }
}

}  // namespace sonarch
