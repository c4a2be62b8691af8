#include "player_on_desktop.h"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "x11/x11_desktop.h"

namespace sonarch::bench {

namespace {

using testing::waitUntil;
using testing::X11Desktop;

constexpr int kReadyMs = 30000;
constexpr int kPoseMs = 10000;
constexpr int kEndMs = 15000;

// A player.dat as the player writes it: a window in the screen's upper left part, the
// tray flag as given, the rest as fresh settings have it.
QByteArray settingsFile(bool inTray) {
    const QList<QByteArray> lines{"None selected", "True",   "False", "True",
                                  "False",         "False",  "False", inTray ? "True" : "False",
                                  " 3000 ",        " 3000 ", " 10 ",  " 34000 ",
                                  "True",          "False",  "False"};
    return lines.join("\r\n") + "\r\n";
}

// A process of the benchmark's own that dies with the benchmark.
void startChild(QProcess& process, const QStringList& argv, const QProcessEnvironment& env,
                const QString& log) {
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(log);
    process.setStandardErrorFile(log, QIODevice::Append);
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process.start(argv.front(), argv.mid(1));
}

void endChild(QProcess& process) {
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(kEndMs)) {
        process.kill();
        process.waitForFinished(kEndMs);
    }
}

std::string tail(const QString& log) {
    QFile file(log);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray text = file.readAll().trimmed();
    return text.right(300).toStdString();
}

}  // namespace

double processCpu(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    // After the command's name: the state is field 3, utime 14 and stime 15.
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field; ++i) {
        if (i == 14 || i == 15) {
            ticks += std::stod(field);
        }
        if (i == 15) {
            break;
        }
    }
    return ticks / double(sysconf(_SC_CLK_TCK));
}

std::map<pid_t, double> threadRunTimes(pid_t pid) {
    std::map<pid_t, double> times;
    const QString tasks = QString("/proc/%1/task").arg(pid);
    for (const QString& task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        std::ifstream stat((tasks + "/" + task + "/schedstat").toStdString());
        double ns = 0;
        if (stat >> ns) {
            times[pid_t(task.toInt())] = ns / 1e9;
        }
    }
    return times;
}

PlayerOnDesktop::PlayerOnDesktop() : m_desktop(std::make_unique<X11Desktop>(true)) {
    if (!m_desktop->failure().empty()) {
        m_failure = m_desktop->failure();
        return;
    }
    if (QStandardPaths::findExecutable("dbus-daemon").isEmpty() ||
        QStandardPaths::findExecutable("playerctl").isEmpty()) {
        m_failure = "dbus-daemon or playerctl is not installed (scripts/setup.sh installs them)";
        return;
    }
    QProcess& bus = m_desktop->start("dbus-daemon",
                                     {"--session", "--nofork", "--nopidfile", "--print-address=1"},
                                     m_desktop->environment());
    QByteArray address;
    while (!address.endsWith('\n') && bus.waitForReadyRead(kReadyMs)) {
        address += bus.readAllStandardOutput();
    }
    if (!address.endsWith('\n')) {
        m_failure = "the session bus did not start: " + bus.readAllStandardError().toStdString();
        return;
    }
    m_busAddress = QString::fromLatin1(address.trimmed());
    m_busPid = pid_t(bus.processId());
}

PlayerOnDesktop::~PlayerOnDesktop() = default;

QProcessEnvironment PlayerOnDesktop::environment() const {
    QProcessEnvironment env = m_desktop->environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", m_busAddress);
    env.insert("QT_QPA_PLATFORM", "xcb");
    return env;
}

QString PlayerOnDesktop::playerctl(const QStringList& arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start("playerctl", QStringList{"--player=sonarch"} + arguments);
    if (!tool.waitForFinished(kPoseMs)) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0) {
        return {};
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

DesktopRun PlayerOnDesktop::measureWindow(pid_t pid, int settleSeconds, int windowSeconds) {
    DesktopRun run;
    const pid_t server = pid_t(m_desktop->serverProcessId());
    std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));
    const double cpu = processCpu(pid), xServer = processCpu(server), bus = processCpu(m_busPid);
    const std::map<pid_t, double> before = threadRunTimes(pid);
    std::this_thread::sleep_for(std::chrono::seconds(windowSeconds));
    const double minutes = windowSeconds / 60.0;
    run.cpuPerMinute = (processCpu(pid) - cpu) / minutes;
    double ran = 0;
    for (const auto& [thread, seconds] : threadRunTimes(pid)) {
        const auto earlier = before.find(thread);
        ran += seconds - (earlier == before.end() ? 0 : earlier->second);
    }
    run.runPerMinute = ran / minutes;
    run.xServerPerMinute = (processCpu(server) - xServer) / minutes;
    run.busPerMinute = (processCpu(m_busPid) - bus) / minutes;
    run.ok = true;
    return run;
}

DesktopRun PlayerOnDesktop::measurePlayer(const std::string& player, const std::string& drive,
                                          PlayerPose pose, int settleSeconds, int windowSeconds) {
    DesktopRun failed;
    QTemporaryDir home;
    const QString settings = home.filePath("settings");
    const QString runtime = home.filePath("runtime");
    QDir().mkpath(settings);
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile file(settings + "/player.dat");
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(settingsFile(pose == PlayerPose::StoppedInTray)) < 0) {
        failed.why = "cannot write the player's settings";
        return failed;
    }
    file.close();

    // Its own runtime folder, so that a player the user runs is neither reached nor ended.
    QProcessEnvironment env = environment();
    env.insert("XDG_RUNTIME_DIR", runtime);
    const QString log = home.filePath("player.log");
    QProcess process;
    startChild(process,
               {QString::fromStdString(player), "--drive", QString::fromStdString(drive), "--audio",
                "null", "--settings-dir", settings},
               env, log);
    if (!process.waitForStarted(kReadyMs)) {
        failed.why = "the player did not start";
        return failed;
    }
    const pid_t pid = pid_t(process.processId());

    // The disc is open once the bus knows its length.
    if (!waitUntil([&] { return !playerctl({"metadata", "mpris:length"}).isEmpty(); }, kReadyMs)) {
        failed.why = "the player did not show the disc on the bus: " + tail(log);
        endChild(process);
        return failed;
    }
    const bool playing = pose == PlayerPose::PlayingShown;
    const QString status = playing ? "Playing" : "Stopped";
    auto holdsPose = [&]() -> std::string {
        if (playerctl({"status"}) != status) {
            return "the player is not " + status.toStdString() + " on the bus";
        }
        bool shown = false;
        for (const QString& window : m_desktop->managedWindows()) {
            if (m_desktop->property(window, "_NET_WM_PID")
                    .trimmed()
                    .endsWith("= " + QString::number(pid)) &&
                m_desktop->mapState(window) == "IsViewable") {
                shown = true;
            }
        }
        if (pose == PlayerPose::StoppedInTray) {
            if (shown) {
                return "the window is shown, not in the tray";
            }
            if (m_desktop->trayChild("qvplayer").isEmpty()) {
                return "the icon is not in the tray";
            }
        } else if (!shown) {
            return "the window is not shown";
        }
        return {};
    };
    playerctl({playing ? "play" : "stop"});
    std::string why;
    if (!waitUntil([&] { return (why = holdsPose()).empty(); }, kPoseMs)) {
        failed.why = why;
        endChild(process);
        return failed;
    }
    DesktopRun run = measureWindow(pid, settleSeconds, windowSeconds);
    // What was measured counts only if the player held its pose all along.
    if (process.state() != QProcess::Running) {
        run = failed;
        run.why = "the player ended: " + tail(log);
    } else if (const std::string lost = holdsPose(); !lost.empty()) {
        run = failed;
        run.why = "at the end, " + lost;
    }
    endChild(process);
    return run;
}

DesktopRun PlayerOnDesktop::measureProgram(const QStringList& argv, int settleSeconds,
                                           int windowSeconds) {
    DesktopRun failed;
    QTemporaryDir home;
    const QString log = home.filePath("program.log");
    QProcess process;
    startChild(process, argv, environment(), log);
    if (!process.waitForStarted(kReadyMs)) {
        failed.why = argv.front().toStdString() + " did not start";
        return failed;
    }
    DesktopRun run = measureWindow(pid_t(process.processId()), settleSeconds, windowSeconds);
    if (process.state() != QProcess::Running) {
        run = failed;
        run.why = argv.front().toStdString() + " ended before the window did: " + tail(log);
    }
    endChild(process);
    return run;
}

}  // namespace sonarch::bench
