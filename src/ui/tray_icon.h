#pragma once

#include <QObject>
#include <QString>
#include <functional>

class QIcon;
class QMenu;
class QSystemTrayIcon;

namespace sonarch {

// The player's icon in the notification area, tip "Sonarch Database CD Player", or the
// track playing: a left click shows or hides the window, a double-click asks for the
// window back, a middle click plays or pauses, the wheel turns the volume, the context
// click pops up the player's menu.
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
    // The tip names the track while a disc plays ("Title – Artist"), else the product.
    void showTrack(const QString& title, const QString& artist, bool playing);
    QString toolTip() const;

    // What the desktop's notification area reports, as the icon's own events.
    void activate(int reason);  // a QSystemTrayIcon::ActivationReason
    void wheel(int angleDelta);

signals:
    void restoreRequested();
    void showHideRequested();
    void playPauseRequested();
    // Notches of the wheel: up is positive.
    void volumeStepsRequested(int steps);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSystemTrayIcon* m_icon;
    QMenu* m_menu;
    std::function<bool()> m_available;
    int m_wheelRest = 0;  // a part of a notch left over from fine-grained wheels
};

}  // namespace sonarch
