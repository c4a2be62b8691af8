#include "x11_desktop.h"

#include <signal.h>
#include <sys/prctl.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>

namespace sonarch::testing {

namespace {

constexpr int kStartTimeoutMs = 10000;

// No screen-edge resistance and no move pop-up: the player's own snapping is what the
// tests look at, and nothing of the window manager's may stand in for it.
const char* const kOpenboxConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<openbox_config xmlns="http://openbox.org/3.4/rc">
  <resistance><strength>0</strength><screen_edge_strength>0</screen_edge_strength></resistance>
  <resize><popupShow>Never</popupShow></resize>
  <focus><focusNew>yes</focusNew><followMouse>no</followMouse></focus>
  <placement><policy>Smart</policy></placement>
  <desktops><number>1</number></desktops>
</openbox_config>
)";

QString firstMissing(const QStringList& programs) {
    for (const QString& program : programs) {
        if (QStandardPaths::findExecutable(program).isEmpty()) {
            return program;
        }
    }
    return {};
}

}  // namespace

X11Desktop::X11Desktop(bool withTray) {
    QStringList needed{"Xvfb", "openbox", "xdotool", "xprop", "xwininfo", "xwd"};
    if (withTray) {
        needed << "trayer";
    }
    if (const QString missing = firstMissing(needed); !missing.isEmpty()) {
        m_failure = missing.toStdString() + " is not installed (scripts/setup.sh installs it)";
        return;
    }
    if (!m_home.isValid()) {
        m_failure = "no temporary folder";
        return;
    }
    if (startServer() && startWindowManager() && withTray) {
        startTray();
    }
}

X11Desktop::~X11Desktop() {
    // The newest first: the player, the tray and the window manager before the server.
    for (auto it = m_processes.rbegin(); it != m_processes.rend(); ++it) {
        QProcess& process = **it;
        if (process.state() == QProcess::NotRunning) {
            continue;
        }
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

QProcessEnvironment X11Desktop::environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", m_display);
    env.insert("HOME", m_home.path());
    env.insert("XDG_CONFIG_HOME", m_home.filePath("config"));
    for (const char* name : {"WAYLAND_DISPLAY", "XDG_SESSION_TYPE", "XAUTHORITY"}) {
        env.remove(name);
    }
    return env;
}

qint64 X11Desktop::serverProcessId() const {
    return m_processes.empty() ? 0 : m_processes.front()->processId();
}

QProcess& X11Desktop::start(const QString& program, const QStringList& arguments,
                            const QProcessEnvironment& environment) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    // A test that crashes or is killed takes its display with it.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->start(program, arguments);
    m_processes.push_back(std::move(process));
    return *m_processes.back();
}

bool X11Desktop::startServer() {
    // -displayfd: the server takes the first free display and writes its number.
    QProcess& server =
        start("Xvfb",
              {"-displayfd", "1", "-screen", "0",
               QString("%1x%2x24").arg(screenSize().width()).arg(screenSize().height()),
               "-nolisten", "tcp"},
              QProcessEnvironment::systemEnvironment());
    server.setReadChannel(QProcess::StandardOutput);
    QByteArray number;
    while (!number.endsWith('\n') && server.waitForReadyRead(kStartTimeoutMs)) {
        number += server.readAllStandardOutput();
    }
    if (!number.endsWith('\n')) {
        m_failure = "Xvfb did not start: " + server.readAllStandardError().toStdString();
        return false;
    }
    m_display = ":" + QString::fromLatin1(number.trimmed());
    return true;
}

bool X11Desktop::startWindowManager() {
    const QString config = m_home.filePath("openbox-rc.xml");
    QFile file(config);
    if (!file.open(QIODevice::WriteOnly) || file.write(kOpenboxConfig) < 0) {
        m_failure = "cannot write the window manager's settings";
        return false;
    }
    file.close();
    QProcess& manager = start("openbox", {"--config-file", config, "--sm-disable"}, environment());
    if (!waitUntil(
            [this] { return property("-root", "_NET_SUPPORTING_WM_CHECK").contains("window id"); },
            kStartTimeoutMs)) {
        m_failure = "openbox did not take the display " + m_display.toStdString() + " (" +
                    (manager.state() == QProcess::NotRunning ? "it ended" : "still running") +
                    "): " + manager.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

bool X11Desktop::startTray() {
    start("trayer",
          {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "120",
           "--heighttype", "pixel", "--height", "24", "--SetDockType", "true"},
          environment());
    if (!waitUntil(
            [this] {
                return run("xwininfo", {"-root", "-tree"}).contains("\"trayer\")");
            },
            kStartTimeoutMs)) {
        m_failure = "the tray did not appear";
        return false;
    }
    return true;
}

QString X11Desktop::run(const QString& program, const QStringList& arguments) const {
    QProcess tool;
    tool.setProcessEnvironment(environment());
    tool.start(program, arguments);
    if (!tool.waitForFinished(kStartTimeoutMs)) {
        tool.kill();
        tool.waitForFinished();
        return {};
    }
    return QString::fromLocal8Bit(tool.readAllStandardOutput());
}

std::optional<QRect> X11Desktop::geometry(const QString& window) const {
    const QString shell = run("xdotool", {"getwindowgeometry", "--shell", window});
    auto value = [&shell](const char* name) -> std::optional<int> {
        const auto match = QRegularExpression(QString("^%1=(-?\\d+)$").arg(name),
                                              QRegularExpression::MultilineOption)
                               .match(shell);
        if (!match.hasMatch()) {
            return std::nullopt;
        }
        return match.captured(1).toInt();
    };
    const auto x = value("X"), y = value("Y"), w = value("WIDTH"), h = value("HEIGHT");
    if (!x || !y || !w || !h) {
        return std::nullopt;
    }
    return QRect(*x, *y, *w, *h);
}

QString X11Desktop::property(const QString& window, const QString& name) const {
    const QStringList target =
        window == "-root" ? QStringList{"-root"} : QStringList{"-id", window};
    return run("xprop", target + QStringList{name});
}

bool X11Desktop::netWmState(const QString& window, const QString& state) const {
    return property(window, "_NET_WM_STATE").contains(state);
}

QString X11Desktop::mapState(const QString& window) const {
    const auto match =
        QRegularExpression("Map State: (\\w+)").match(run("xwininfo", {"-id", window}));
    return match.hasMatch() ? match.captured(1) : QString();
}

QString X11Desktop::wmState(const QString& window) const {
    const auto match =
        QRegularExpression("window state: (\\w+)").match(property(window, "WM_STATE"));
    return match.hasMatch() ? match.captured(1) : QString();
}

QStringList X11Desktop::managedWindows() const {
    const QString list = property("-root", "_NET_CLIENT_LIST");
    QStringList ids;
    auto matches = QRegularExpression("0x[0-9a-f]+").globalMatch(list.section('#', 1));
    while (matches.hasNext()) {
        ids << matches.next().captured(0);
    }
    return ids;
}

QString X11Desktop::activeWindow() const {
    return run("xdotool", {"getactivewindow"}).trimmed();
}

QString X11Desktop::trayChild(const QString& windowClass) const {
    const QString tree = run("xwininfo", {"-root", "-tree"});
    const auto panel =
        QRegularExpression("(0x[0-9a-f]+) \"panel\": \\(\"panel\" \"trayer\"\\)").match(tree);
    if (!panel.hasMatch()) {
        return {};
    }
    const auto child = QRegularExpression(QString("(0x[0-9a-f]+) \"[^\"]*\": \\(\"%1\"")
                                              .arg(QRegularExpression::escape(windowClass)))
                           .match(run("xwininfo", {"-tree", "-id", panel.captured(1)}));
    return child.hasMatch() ? child.captured(1) : QString();
}

// xwd's dump: a header of big-endian 32-bit fields, the window's name, a colour map, then
// the pixels row by row. On a 24-bit TrueColor screen each pixel is 32 bits in the
// server's byte order, with the colour masks of the header.
QImage X11Desktop::capture(const QString& window) const {
    QProcess xwd;
    xwd.setProcessEnvironment(environment());
    xwd.start("xwd", {"-id", window, "-silent"});
    if (!xwd.waitForFinished(kStartTimeoutMs)) {
        return {};
    }
    const QByteArray dump = xwd.readAllStandardOutput();
    auto field = [&dump](int index) {
        return qFromBigEndian<quint32>(dump.constData() + 4 * index);
    };
    if (dump.size() < 100) {
        return {};
    }
    const quint32 headerSize = field(0), width = field(4), height = field(5), byteOrder = field(7),
                  bitsPerPixel = field(11), bytesPerLine = field(12), redMask = field(14),
                  greenMask = field(15), blueMask = field(16), colours = field(19);
    const qsizetype pixels = qsizetype(headerSize) + qsizetype(colours) * 12;
    if (bitsPerPixel != 32 || dump.size() < pixels + qsizetype(bytesPerLine) * height) {
        return {};
    }
    auto channel = [](quint32 value, quint32 mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return int((value >> shift) & mask);
    };
    QImage image(int(width), int(height), QImage::Format_RGB32);
    for (quint32 y = 0; y < height; ++y) {
        const char* row = dump.constData() + pixels + qsizetype(bytesPerLine) * y;
        for (quint32 x = 0; x < width; ++x) {
            const quint32 value = byteOrder == 0 ? qFromLittleEndian<quint32>(row + 4 * x)
                                                 : qFromBigEndian<quint32>(row + 4 * x);
            image.setPixel(
                int(x), int(y),
                qRgb(channel(value, redMask), channel(value, greenMask), channel(value, blueMask)));
        }
    }
    return image;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs) {
    return QTest::qWaitFor(condition, timeoutMs);
}

bool sameWindow(const QString& a, const QString& b) {
    bool okA = false, okB = false;
    const qulonglong idA = a.toULongLong(&okA, 0), idB = b.toULongLong(&okB, 0);
    return okA && okB && idA == idB;
}

}  // namespace sonarch::testing
