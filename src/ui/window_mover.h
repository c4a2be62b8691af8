#pragma once

#include <QObject>
#include <QPoint>

class QMouseEvent;
class QTimer;
class QWidget;

namespace sonarch {

// Moves the borderless player window by its background, as a caption bar would, with any
// mouse button. A press alone moves nothing: the drag begins once the pointer has travelled the
// platform's drag distance with a button held, so a double-click still reaches the window. The
// window system does the moving where it can; elsewhere the window follows the pointer itself. A
// window dropped with its top near the screen's top goes right up to it, and a move of the pointer
// over the background pulls it to the screen's edges when it is near them.
class WindowMover : public QObject {
    Q_OBJECT
public:
    explicit WindowMover(QWidget* window);

    // The background's mouse events. move() answers true when the move belongs to a drag,
    // which the window's own hover handling then leaves alone.
    void press(const QMouseEvent& event);
    bool move(const QMouseEvent& event);
    void release();
    bool dragging() const { return m_drag == Drag::System || m_drag == Drag::Own; }

    void snapToScreenEdges();

signals:
    // A drag has ended, and the rule for the top edge has been applied.
    void dropped();

private:
    enum class Drag { None, Pressed, System, Own };
    void startDrag(const QMouseEvent& event);
    void followPointer(const QMouseEvent& event);
    void checkSystemMoveEnded();
    void drop();

    QWidget* m_window;
    Drag m_drag = Drag::None;
    QPoint m_pressedAt;                         // the pointer on the desktop at the press
    QPoint m_windowAtPress;                     // the window's place then
    Qt::MouseButton m_button = Qt::LeftButton;  // the button that was pressed
    QTimer* m_systemMoveWatch;
};

}  // namespace sonarch
