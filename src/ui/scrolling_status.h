#pragma once

#include <QObject>
#include <QString>

class QTimer;

namespace sonarch {

class SkinLabel;

// The status line (Info): a text longer than the line scrolls across it, a character at a
// time, and the whole text is its tooltip and its name for screen readers. The scrolling
// runs only while the text is too long and the line is seen; at rest it costs nothing.
class ScrollingStatus : public QObject {
    Q_OBJECT
public:
    explicit ScrollingStatus(SkinLabel* line);

    // The status text and its own tip (empty for none).
    void show(const QString& text, const QString& tip);
    // Starts or stops the scrolling as the line is now seen (after the window came back).
    void refresh();
    bool scrolling() const;
    // One step to the left; the timer's tick.
    void step();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool fits() const;
    bool seen() const;

    SkinLabel* m_line;
    QTimer* m_timer;
    QString m_text;
    int m_offset = 0;
};

}  // namespace sonarch
