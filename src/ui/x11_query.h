#pragma once

#include <QPoint>
#include <optional>

class QWidget;

namespace sonarch {

// Questions put straight to the X server, for what Qt learns only later from its events.
// Each answers nothing (std::nullopt) when the program does not run on X11.

// Whether a mouse button (left, middle or right) is held down anywhere on the display.
std::optional<bool> x11MouseButtonHeld();
// Where the top-level window's client area is on the desktop now, in logical pixels.
std::optional<QPoint> x11WindowOrigin(const QWidget* window);
// Asks the window manager to move the top-level window with the pointer while mouse button
// `button` (1 left, 2 middle, 3 right) stays down, as from `pressedAt` (on the desktop, in
// logical pixels): the pointer's way since then counts. False when the window manager moves
// no windows for others.
std::optional<bool> x11StartWindowMove(const QWidget* window, QPoint pressedAt, int button);

}  // namespace sonarch
