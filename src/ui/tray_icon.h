#pragma once

#include <QObject>
#include <functional>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace sonarch {

// The player's icon in the notification area, tip "Sonarch Database CD Player": a
// double-click asks for the window back, the context click pops up the player's menu.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    // `available` tells whether the desktop has a notification area to show the icon in
    // (a StatusNotifier host or an XEmbed tray); by default Qt looks.
    TrayIcon(const QIcon& icon, QMenu* menu, QObject* parent, std::function<bool()> available = {});

    void show();
    void hide();
    bool isVisible() const;
    // Whether a window hidden now can be brought back by the icon.
    bool available() const;

signals:
    void restoreRequested();

private:
    QSystemTrayIcon* m_icon;
    std::function<bool()> m_available;
};

}  // namespace sonarch
