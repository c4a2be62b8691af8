#pragma once

#include <sys/types.h>

#include <QProcessEnvironment>
#include <QStringList>
#include <map>
#include <memory>
#include <string>

namespace sonarch::testing {
class X11Desktop;
}

namespace sonarch::bench {

// CPU time (user + system) a running process has used so far, in seconds, as the kernel
// counts it in /proc/PID/stat (in clock ticks, 10 ms).
double processCpu(pid_t pid);
// The time on a CPU of each of the process's threads so far, in seconds, to the
// nanosecond (/proc/PID/task/TID/schedstat).
std::map<pid_t, double> threadRunTimes(pid_t pid);

// How the player is put before its CPU time is counted.
enum class PlayerPose { StoppedShown, StoppedInTray, PlayingShown };

// What one measured run gives: the CPU time of the program, and of the X server and the
// session bus beside it, per minute of the measuring window.
struct DesktopRun {
    bool ok = false;
    std::string why;  // when not ok
    double cpuPerMinute = 0;
    // The same from the threads' run times, finer than the clock ticks of the above; a
    // thread that ends within the window is left out.
    double runPerMinute = 0;
    double xServerPerMinute = 0;
    double busPerMinute = 0;
};

// The desktop a user runs the player on, made private: an X display (Xvfb) with the
// openbox window manager and an XEmbed tray, and a session bus (dbus-daemon) on which the
// player registers for MPRIS. The player is the real `qvplayer` process, put into its pose
// through the bus (playerctl, as a desktop's media keys do) and its own settings file (the
// tray flag); the X server says whether the window is shown or in the tray. Everything
// started here ends with it.
class PlayerOnDesktop {
public:
    PlayerOnDesktop();
    ~PlayerOnDesktop();
    PlayerOnDesktop(const PlayerOnDesktop&) = delete;
    PlayerOnDesktop& operator=(const PlayerOnDesktop&) = delete;

    // Empty when the desktop and its bus are up; otherwise what could not be started.
    const std::string& failure() const { return m_failure; }

    // Starts `player` on the image `drive` with the null output, puts it into `pose`, lets
    // it settle, counts its CPU time over `windowSeconds`, checks that it kept its pose,
    // and ends it as a desktop does (SIGTERM).
    DesktopRun measurePlayer(const std::string& player, const std::string& drive, PlayerPose pose,
                             int settleSeconds, int windowSeconds);
    // The same for another program (mpv), started by `argv` and measured while it plays.
    DesktopRun measureProgram(const QStringList& argv, int settleSeconds, int windowSeconds);

private:
    QProcessEnvironment environment() const;
    // playerctl on the private bus, its output trimmed; empty when it fails.
    QString playerctl(const QStringList& arguments) const;
    DesktopRun measureWindow(pid_t pid, int settleSeconds, int windowSeconds);

    std::unique_ptr<testing::X11Desktop> m_desktop;
    QString m_busAddress;
    pid_t m_busPid = -1;
    std::string m_failure;
};

}  // namespace sonarch::bench
