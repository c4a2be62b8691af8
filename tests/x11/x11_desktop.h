#pragma once

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sonarch::testing {

// A private X display for one test: Xvfb with the openbox window manager and, when asked,
// an XEmbed tray (trayer). Everything it starts ends with it, and with the test process
// should that die first. The X server is read back through xdotool, xprop, xwininfo and xwd.
class X11Desktop {
public:
    explicit X11Desktop(bool withTray);
    ~X11Desktop();
    X11Desktop(const X11Desktop&) = delete;
    X11Desktop& operator=(const X11Desktop&) = delete;

    // Empty when the desktop is up; otherwise what could not be started.
    const std::string& failure() const { return m_failure; }
    QSize screenSize() const { return {1024, 768}; }
    QProcessEnvironment environment() const;
    // The X server's process, whose CPU time shows what a client costs it.
    qint64 serverProcessId() const;

    // Starts a program of the desktop's own; it is ended with the desktop.
    QProcess& start(const QString& program, const QStringList& arguments,
                    const QProcessEnvironment& environment);
    // Runs an X tool to its end (bounded) and gives its standard output.
    QString run(const QString& program, const QStringList& arguments) const;
    void xdotool(const QStringList& arguments) const { run("xdotool", arguments); }

    // What the X server says about a window (ids as xdotool and xprop print them).
    std::optional<QRect> geometry(const QString& window) const;
    QString property(const QString& window, const QString& name) const;
    bool netWmState(const QString& window, const QString& state) const;
    QString mapState(const QString& window) const;  // IsViewable, IsUnMapped, IsUnviewable
    QString wmState(const QString& window) const;   // Normal, Iconic, or empty (withdrawn)
    QStringList managedWindows() const;             // the window manager's client list
    QString activeWindow() const;
    // The child of the tray's panel window whose class is `windowClass`, if embedded.
    QString trayChild(const QString& windowClass) const;
    QImage capture(const QString& window) const;

private:
    bool startServer();
    bool startWindowManager();
    bool startTray();

    QTemporaryDir m_home;
    QString m_display;
    std::string m_failure;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};

// Polls `condition` (which asks the X server) until it holds or `timeoutMs` has passed.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
// Two X window ids (decimal or 0x...) name the same window.
bool sameWindow(const QString& a, const QString& b);

}  // namespace sonarch::testing
