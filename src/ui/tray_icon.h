#pragma once

#include <QObject>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace sonarch {

// The player's icon in the notification area, tip "Sonarch Database CD Player": a
// double-click asks for the window back, the context click pops up the player's menu.
class TrayIcon : public QObject {
    Q_OBJECT
public:
    TrayIcon(const QIcon& icon, QMenu* menu, QObject* parent);

    void show();
    void hide();
    bool isVisible() const;

signals:
    void restoreRequested();

private:
    QSystemTrayIcon* m_icon;
};

}  // namespace sonarch
