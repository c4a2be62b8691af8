// The least a Qt Widgets program does to show one window of the player's size: the
// figure the player's start-up is held against (bench/startup_cpu.py runs both).
//
//   startup_baseline [--text] [--screenshot FILE]
//
// With --text the window shows one line of text, so the figure includes starting the
// font system (fontconfig, one font loaded and shaped), which any window with text pays.
// It ends once the window has been painted, after saving it when asked (the file's
// suffix gives the format), as `qvplayer --screenshot FILE` does.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <iostream>

#include "layout/window_places.h"

namespace {

int pixels(int twips) {
    return (twips + sonarch::kTwipsPerPixel / 2) / sonarch::kTwipsPerPixel;
}

// Ends the program after the window's first paint.
class FirstPaint : public QObject {
public:
    FirstPaint(QWidget& window, QString screenshot) : m_window(window), m_screenshot(screenshot) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &m_window && event->type() == QEvent::Paint && !m_done) {
            m_done = true;
            QTimer::singleShot(0, &m_window, [this] {
                if (!m_screenshot.isEmpty() && !m_window.grab().save(m_screenshot)) {
                    std::cerr << "startup_baseline: cannot write " << m_screenshot.toStdString()
                              << "\n";
                }
                m_window.close();
            });
        }
        return false;
    }

private:
    QWidget& m_window;
    QString m_screenshot;
    bool m_done = false;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString screenshot;
    bool text = false;
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args.front() == "--text") {
        text = true;
        args.pop_front();
    }
    if (args.size() == 2 && args[0] == "--screenshot") {
        screenshot = args[1];
    } else if (!args.isEmpty()) {
        std::cerr << "usage: startup_baseline [--text] [--screenshot FILE]\n";
        return 2;
    }
    QWidget window;
    window.setWindowTitle("startup baseline");
    window.setFixedSize(pixels(sonarch::kWindowWidthTwips), pixels(sonarch::kNormalHeightTwips));
    if (text) {
        auto* line = new QLabel("Sonarch CD Player  01:23", &window);
        line->move(8, 8);
    }
    FirstPaint firstPaint(window, screenshot);
    window.installEventFilter(&firstPaint);
    window.show();
    return app.exec();
}
