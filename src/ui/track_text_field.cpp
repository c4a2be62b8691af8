#include "ui/track_text_field.h"

#include "ui/placement.h"
#include "ui/skin_style.h"

namespace sonarch {

TrackTextField::TrackTextField(const QString& name, QWidget* window, QWidget* focusOnClick)
    : QLineEdit(window), m_focusOnClick(focusOnClick) {
    setObjectName(name);
    setReadOnly(true);
    setFrame(false);
    setFocusPolicy(Qt::ClickFocus);
    setFont(pixelFont(10, name == "lTitle"));
    setStyleSheet("QLineEdit { background: transparent; color: #aad7ff; }");
    setMouseTracking(true);
    if (const auto place = designedPlace(name.toStdString())) {
        setGeometry(toPixelRect(*place));
    }
}

void TrackTextField::showText(const QString& text) {
    setText(text);
    setCursorPosition(0);
}

void TrackTextField::mouseMoveEvent(QMouseEvent* event) {
    if (!text().isEmpty()) {
        setToolTip(text());
    }
    QLineEdit::mouseMoveEvent(event);
}

void TrackTextField::mouseReleaseEvent(QMouseEvent* event) {
    m_focusOnClick->setFocus();
    QLineEdit::mouseReleaseEvent(event);
}

}  // namespace sonarch
