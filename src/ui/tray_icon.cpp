#include "ui/tray_icon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

namespace sonarch {

TrayIcon::TrayIcon(const QIcon& icon, QMenu* menu, QObject* parent, std::function<bool()> available)
    : QObject(parent),
      m_icon(new QSystemTrayIcon(icon, this)),
      m_available(available ? std::move(available) : &QSystemTrayIcon::isSystemTrayAvailable) {
    m_icon->setObjectName("trayIcon");
    m_icon->setToolTip("Sonarch Database CD Player");
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this, menu](QSystemTrayIcon::ActivationReason why) {
                if (why == QSystemTrayIcon::DoubleClick) {
                    emit restoreRequested();
                } else if (why == QSystemTrayIcon::Context) {
                    menu->popup(QCursor::pos());
                }
            });
}

void TrayIcon::show() {
    m_icon->show();
}

void TrayIcon::hide() {
    m_icon->hide();
}

bool TrayIcon::isVisible() const {
    return m_icon->isVisible();
}

bool TrayIcon::available() const {
    return m_icon->isVisible() && m_available();
}

}  // namespace sonarch
