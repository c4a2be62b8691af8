#include "ui/tray_icon.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWheelEvent>

namespace sonarch {

namespace {

const QString kProductTip = QStringLiteral("Sonarch Database CD Player");
constexpr int kNotch = 120;  // a wheel's step, in eighths of a degree

}  // namespace

TrayIcon::TrayIcon(const QIcon& icon, QMenu* menu, QObject* parent, std::function<bool()> available)
    : QObject(parent),
      m_icon(new QSystemTrayIcon(icon, this)),
      m_menu(menu),
      m_available(available ? std::move(available) : &QSystemTrayIcon::isSystemTrayAvailable) {
    m_icon->setObjectName("trayIcon");
    m_icon->setToolTip(kProductTip);
    // The XEmbed tray hands the wheel over the icon to the icon object.
    m_icon->installEventFilter(this);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason why) { activate(why); });
}

void TrayIcon::activate(int reason) {
    switch (reason) {
        case QSystemTrayIcon::Trigger:
            emit showHideRequested();
            break;
        case QSystemTrayIcon::DoubleClick:
            emit restoreRequested();
            break;
        case QSystemTrayIcon::MiddleClick:
            emit playPauseRequested();
            break;
        case QSystemTrayIcon::Context:
            m_menu->popup(QCursor::pos());
            break;
        default:
            break;
    }
}

void TrayIcon::wheel(int angleDelta) {
    m_wheelRest += angleDelta;
    const int steps = m_wheelRest / kNotch;
    m_wheelRest -= steps * kNotch;
    if (steps != 0) {
        emit volumeStepsRequested(steps);
    }
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_icon && event->type() == QEvent::Wheel) {
        wheel(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void TrayIcon::showTrack(const QString& title, const QString& artist, bool playing) {
    QString tip = kProductTip;
    if (playing && !title.isEmpty()) {
        tip = artist.isEmpty() ? title : title + QStringLiteral(" – ") + artist;
    }
    m_icon->setToolTip(tip);
}

QString TrayIcon::toolTip() const {
    return m_icon->toolTip();
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
