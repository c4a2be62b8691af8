#pragma once

#include <QLabel>
#include <QPointF>

namespace sonarch {

// What a control is to a screen reader.
enum class SkinRole {
    Picture,   // decoration, or a part of another control
    Button,    // pressed to act
    CheckBox,  // pressed to turn something on or off; its state is checked()
    Slider,    // a value between a minimum and a maximum
    Text,      // a field that shows a text
};

// A picture or text control of the player window. It reports the mouse as the window's
// handlers need it: button pressed, released and moved with the position in pixels, a
// click (left button released over the control) and a double-click. A control that acts
// can also be pressed from the keyboard (Space or Return once Tab has put the focus on it,
// which draws a dotted frame) and by a screen reader, as a click in its middle.
class SkinLabel : public QLabel {
    Q_OBJECT
public:
    explicit SkinLabel(const QString& name, QWidget* parent);

    // 0: no border; 1: a single-line border, so the picture looks pressed in.
    void setBorderStyle(int style);
    int borderStyle() const { return m_borderStyle; }

    // What the control is to the keyboard and screen readers; buttons and check boxes take
    // the focus by Tab.
    void setRole(SkinRole role);
    SkinRole role() const { return m_role; }
    // A check box's state.
    void setChecked(bool checked);
    bool checked() const { return m_checked; }
    // A slider's value and its range.
    void setRange(int minimum, int maximum);
    void setValue(int value);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }
    int value() const { return m_value; }

    // A left click in the middle of the control, as the mouse makes it.
    void press();
    // Whether the focus came by the keyboard and the frame is drawn.
    bool showsFocus() const { return m_keyboardFocus; }

signals:
    void mouseDown(Qt::MouseButton button, QPointF position);
    void mouseUp(Qt::MouseButton button, QPointF position);
    void mouseMove(Qt::MouseButtons buttons, QPointF position);
    void clicked();
    void doubleClicked();
    // A slider asked to move a step up (+1) or down (-1), by a screen reader.
    void stepRequested(int direction);

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressKey(const QKeyEvent& event) const;

    int m_borderStyle = 0;
    SkinRole m_role = SkinRole::Picture;
    bool m_checked = false;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_value = 0;
    bool m_keyboardFocus = false;
};

}  // namespace sonarch
