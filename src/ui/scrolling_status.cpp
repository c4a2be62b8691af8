#include "ui/scrolling_status.h"

#include <QEvent>
#include <QTimer>

#include "ui/skin_label.h"

namespace sonarch {

namespace {

constexpr int kStepMs = 180;  // about five characters a second: readable, and light
const QString kGap = QStringLiteral("     ");

}  // namespace

ScrollingStatus::ScrollingStatus(SkinLabel* line)
    : QObject(line), m_line(line), m_timer(new QTimer(this)) {
    m_timer->setObjectName("statusScroll");
    m_timer->setInterval(kStepMs);
    connect(m_timer, &QTimer::timeout, this, &ScrollingStatus::step);
    line->installEventFilter(this);
    line->setRole(SkinRole::Text);
}

void ScrollingStatus::show(const QString& text, const QString& tip) {
    m_text = text;
    m_offset = 0;
    m_line->setText(text);
    m_line->setAccessibleName(text);
    const bool whole = fits() || tip.contains(text);
    m_line->setToolTip(whole ? tip : tip.isEmpty() ? text : text + "\n" + tip);
    refresh();
}

bool ScrollingStatus::fits() const {
    return m_line->fontMetrics().horizontalAdvance(m_text) <= m_line->contentsRect().width();
}

bool ScrollingStatus::seen() const {
    const QWidget* window = m_line->window();
    return m_line->isVisible() && !window->isMinimized();
}

bool ScrollingStatus::scrolling() const {
    return m_timer->isActive();
}

void ScrollingStatus::refresh() {
    if (!m_text.isEmpty() && !fits() && seen()) {
        if (!m_timer->isActive()) {
            m_timer->start();
        }
        return;
    }
    m_timer->stop();
    if (m_offset != 0) {
        m_offset = 0;
        m_line->setText(m_text);
    }
}

void ScrollingStatus::step() {
    if (!seen() || fits()) {
        refresh();
        return;
    }
    const QString loop = m_text + kGap;
    m_offset = (m_offset + 1) % int(loop.size());
    m_line->setText(loop.mid(m_offset) + loop.left(m_offset));
}

bool ScrollingStatus::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_line) {
        const QEvent::Type type = event->type();
        if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::Resize) {
            refresh();
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace sonarch
