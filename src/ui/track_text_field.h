#pragma once

#include <QLineEdit>

namespace sonarch {

// One of the current track's text fields (lTitle, lArt, lAlb): read-only, its whole text
// as its tooltip when the pointer is over it, and a click hands the keyboard on to
// `focusOnClick` (the stop button).
class TrackTextField : public QLineEdit {
    Q_OBJECT
public:
    TrackTextField(const QString& name, QWidget* window, QWidget* focusOnClick);

    // The text, shown from its start.
    void showText(const QString& text);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QWidget* m_focusOnClick;
};

}  // namespace sonarch
