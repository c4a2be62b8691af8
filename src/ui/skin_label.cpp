#include "ui/skin_label.h"

#include <QMouseEvent>

namespace sonarch {

SkinLabel::SkinLabel(const QString& name, QWidget* parent) : QLabel(parent) {
    setObjectName(name);
    setMouseTracking(true);
}

void SkinLabel::setBorderStyle(int style) {
    m_borderStyle = style;
    setFrameStyle(style == 1 ? QFrame::Box | QFrame::Plain : QFrame::NoFrame);
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
