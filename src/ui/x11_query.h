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
// Moves a top-level window without a frame by `offset` behind Qt's back, so that Qt's own idea of
// the place (which a system move starts from) stays as it was. False when not on X11.
bool x11MoveWindowBy(const QWidget* window, QPoint offset);

}  // namespace sonarch
