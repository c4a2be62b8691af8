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

}  // namespace sonarch
