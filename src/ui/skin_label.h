#pragma once

#include <QLabel>
#include <QPointF>

namespace sonarch {

// A picture or text control of the player window. It reports the mouse as the window's
// handlers need it: button pressed, released and moved with the position in pixels, a
// click (left button released over the control) and a double-click.
class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(const QString& name, QWidget* parent);

    // 0: no border; 1: a single-line border, so the picture looks pressed in.
    void setBorderStyle(int style);
    int borderStyle() const { return m_borderStyle; }

signals:
    void mouseDown(Qt::MouseButton button, QPointF position);
    void mouseUp(Qt::MouseButton button, QPointF position);
    void mouseMove(Qt::MouseButtons buttons, QPointF position);
    void clicked();
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    int m_borderStyle = 0;
};

}  // namespace sonarch
