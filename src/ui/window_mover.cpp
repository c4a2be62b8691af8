#include "ui/window_mover.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QStyleHints>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <optional>

#include "layout/edge_snap.h"
#include "ui/placement.h"
#include "ui/x11_query.h"

namespace sonarch {

namespace {

// How often the X server is asked whether the button of a system move is still held.
constexpr int kSystemMoveWatchMs = 25;
// A drop with the window's top this close to the screen's top puts it right at the top.
constexpr int kDropToTopTwips = 100;

QRect screenOf(const QWidget* window) {
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

}  // namespace

WindowMover::WindowMover(QWidget* window)
    : QObject(window), m_window(window), m_systemMoveWatch(new QTimer(this)) {
    m_systemMoveWatch->setInterval(kSystemMoveWatchMs);
    connect(m_systemMoveWatch, &QTimer::timeout, this, &WindowMover::checkSystemMoveEnded);
}

void WindowMover::press(const QMouseEvent& event) {
    m_systemMoveWatch->stop();
    m_drag = Drag::Pressed;
    m_button = event.button();
    m_pressedAt = event.globalPosition().toPoint();
    m_windowAtPress = m_window->pos();
}

bool WindowMover::move(const QMouseEvent& event) {
    switch (m_drag) {
        case Drag::None:
            return false;
        case Drag::Pressed:
            if (event.buttons() == Qt::NoButton) {
                m_drag = Drag::None;  // the release went elsewhere
                return false;
            }
            if ((event.globalPosition().toPoint() - m_pressedAt).manhattanLength() <
                QGuiApplication::styleHints()->startDragDistance()) {
                return false;
            }
            startDrag(event);
            if (m_drag == Drag::Own) {
                followPointer(event);
            }
            return true;
        case Drag::System:
            // Where the end of a system move is not announced, the first move without a
            // button tells it.
            if (event.buttons() == Qt::NoButton) {
                drop();
                return false;
            }
            return true;
        case Drag::Own:
            followPointer(event);
            return true;
    }
    return false;
}

void WindowMover::followPointer(const QMouseEvent& event) {
    m_window->move(m_windowAtPress + event.globalPosition().toPoint() - m_pressedAt);
}

void WindowMover::release() {
    if (dragging()) {
        drop();
    } else {
        m_drag = Drag::None;
    }
}

void WindowMover::startDrag(const QMouseEvent& event) {
    QWindow* handle = m_window->windowHandle();
    // Window managers move windows with the left button only; with another the window
    // follows the pointer itself.
    if (m_button == Qt::LeftButton && handle) {
        // The window manager moves the window from where the pointer is now: the window
        // first catches up with the pointer's way to the drag distance. Qt must not hear
        // of it, since it tells the window manager where the pointer is by the window's
        // place as it knows it.
        x11MoveWindowBy(m_window, event.globalPosition().toPoint() - m_pressedAt);
        if (handle->startSystemMove()) {
            m_drag = Drag::System;
            // On X11 the call returns at once and the window manager keeps the button's
            // release to itself: the X server tells when the button is up again.
            if (x11MouseButtonHeld()) {
                m_systemMoveWatch->start();
            }
            return;
        }
    }
    m_drag = Drag::Own;
}

void WindowMover::checkSystemMoveEnded() {
    if (x11MouseButtonHeld() != true) {
        drop();
    }
}

void WindowMover::drop() {
    if (!dragging()) {
        return;
    }
    m_systemMoveWatch->stop();
    m_drag = Drag::None;
    // After a system move Qt learns the window's last place only after the button is up;
    // the X server knows it already.
    const QPoint frameOffset = m_window->geometry().topLeft() - m_window->pos();
    const std::optional<QPoint> onServer = x11WindowOrigin(m_window);
    const QPoint at = onServer.value_or(m_window->geometry().topLeft());
    const QRect screen = screenOf(m_window);
    if ((at.y() - frameOffset.y() - screen.top()) * kTwipsPerPixel <= kDropToTopTwips) {
        const QPoint target(at.x() - frameOffset.x(), screen.top());
        QWindow* handle = m_window->windowHandle();
        if (handle && at != m_window->geometry().topLeft()) {
            // The widget's idea of its place is out of date and may even be the target,
            // which QWidget::move would take for nothing to do.
            handle->setFramePosition(target);
        } else {
            m_window->move(target);
        }
    }
    emit dropped();
}

void WindowMover::snapToScreenEdges() {
    const QRect screen = screenOf(m_window);
    if (screen.isNull() || m_window->isMinimized() || dragging()) {
        return;
    }
    const TwipPoint at = SnapToScreenEdges(toTwipRect(m_window->geometry()), toTwipRect(screen));
    m_window->move(toPixels(at.left), toPixels(at.top));
}

}  // namespace sonarch
