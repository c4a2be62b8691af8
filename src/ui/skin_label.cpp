#include "ui/skin_label.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/skin_accessible.h"

namespace sonarch {

SkinLabel::SkinLabel(const QString& name, QWidget* parent) : QLabel(parent) {
    // Before the label's first text: Qt makes a reader's view of a label when its text is
    // set, and keeps the first one made.
    installSkinAccessibility();
    setObjectName(name);
    setMouseTracking(true);
}

void SkinLabel::setBorderStyle(int style) {
    m_borderStyle = style;
    setFrameStyle(style == 1 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
}

void SkinLabel::setRole(SkinRole role) {
    m_role = role;
    // Sliders are set by the window's keys (Left, Right, Up, Down): no tab stop of their own.
    if (role == SkinRole::Button || role == SkinRole::CheckBox) {
        setFocusPolicy(Qt::StrongFocus);
    }
}

void SkinLabel::setChecked(bool checked) {
    if (checked == m_checked) {
        return;
    }
    m_checked = checked;
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
}

void SkinLabel::setRange(int minimum, int maximum) {
    m_minimum = minimum;
    m_maximum = maximum;
}

void SkinLabel::setValue(int value) {
    if (value == m_value) {
        return;
    }
    m_value = value;
    QAccessibleValueChangeEvent event(this, value);
    QAccessible::updateAccessibility(&event);
}

void SkinLabel::press() {
    const QPointF middle(width() / 2.0, height() / 2.0);
    emit mouseDown(Qt::LeftButton, middle);
    emit mouseUp(Qt::LeftButton, middle);
    emit clicked();
}

bool SkinLabel::pressKey(const QKeyEvent& event) const {
    const bool acts = m_role == SkinRole::Button || m_role == SkinRole::CheckBox;
    const int key = event.key();
    return acts && m_keyboardFocus && event.modifiers() == Qt::NoModifier &&
           (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter);
}

bool SkinLabel::event(QEvent* event) {
    // Space and Return press the control the keyboard is on, before the window's keys.
    if (event->type() == QEvent::ShortcutOverride && pressKey(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLabel::event(event);
}

void SkinLabel::keyPressEvent(QKeyEvent* event) {
    if (pressKey(*event)) {
        press();
        return;
    }
    QLabel::keyPressEvent(event);
}

void SkinLabel::focusInEvent(QFocusEvent* event) {
    const Qt::FocusReason why = event->reason();
    m_keyboardFocus = why == Qt::TabFocusReason || why == Qt::BacktabFocusReason;
    update();
    QLabel::focusInEvent(event);
}

void SkinLabel::focusOutEvent(QFocusEvent* event) {
    m_keyboardFocus = false;
    update();
    QLabel::focusOutEvent(event);
}

void SkinLabel::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (m_keyboardFocus && hasFocus()) {
        // A dotted frame in a colour that stands out on the dark skin and on the light
        // letters alike.
        QPainter painter(this);
        QPen pen(QColor(255, 255, 255));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void SkinLabel::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(event->button(), event->position());
}

void SkinLabel::mouseReleaseEvent(QMouseEvent* event) {
    emit mouseUp(event->button(), event->position());
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void SkinLabel::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMove(event->buttons(), event->position());
}

void SkinLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    emit doubleClicked();
    QLabel::mouseDoubleClickEvent(event);
}

}  // namespace sonarch
