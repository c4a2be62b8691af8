#include "ui/window_mover.h"

#include <QScreen>
#include <QWidget>
#include <QWindow>

#include "layout/edge_snap.h"
#include "ui/placement.h"

namespace sonarch {

WindowMover::WindowMover(QWidget* window) : QObject(window), m_window(window) {}

void WindowMover::startMove() {
    if (QWindow* window = m_window->windowHandle()) {
        window->startSystemMove();
    }
}

void WindowMover::snapToScreenEdges() {
    const QScreen* screen = m_window->screen();
    if (!screen || m_window->isMinimized()) {
        return;
    }
    const TwipPoint at =
        SnapToScreenEdges(toTwipRect(m_window->geometry()), toTwipRect(screen->geometry()));
    m_window->move(toPixels(at.left), toPixels(at.top));
}

}  // namespace sonarch
