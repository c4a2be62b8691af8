// The least a Qt Widgets program does to show one window of the player's size: the
// figure the player's start-up is held against (bench/startup_cpu.py runs both).
//
//   startup_baseline [--screenshot FILE]
//
// It ends once the window has been painted, after saving it as a PNG when asked, as
// `qvplayer --screenshot FILE` does.
#include <QApplication>
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
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "--screenshot") {
        screenshot = args[2];
    } else if (args.size() != 1) {
        std::cerr << "usage: startup_baseline [--screenshot FILE]\n";
        return 2;
    }
    QWidget window;
    window.setWindowTitle("startup baseline");
    window.setFixedSize(pixels(sonarch::kWindowWidthTwips), pixels(sonarch::kNormalHeightTwips));
    FirstPaint firstPaint(window, screenshot);
    window.installEventFilter(&firstPaint);
    window.show();
    return app.exec();
}
