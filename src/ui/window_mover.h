#pragma once

#include <QObject>

class QWidget;

namespace sonarch {

// Moves the borderless player window: a press on its background drags it (the window
// system does the moving), and a move of the pointer over the background pulls it to the
// screen's edges when it comes near them.
class WindowMover : public QObject {
    Q_OBJECT
public:
    explicit WindowMover(QWidget* window);

    void startMove();
    void snapToScreenEdges();

private:
    QWidget* m_window;
};

}  // namespace sonarch
