// The player window on a real X server with a window manager and a tray: what only a
// window system shows (stacking, moving, the tray's icon, minimising). The program runs as
// the user runs it; xdotool acts as the user, and the X server says what came of it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMargins>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "x11_desktop.h"

namespace sonarch::testing {
namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kDoubleClickMs = 500;  // Qt's double-click time on X11 is 400 ms

// Places in the window, in pixels, from the window definition (twips / 15).
const QPoint kBackground(3, 60);    // the bare margin left of the comment buttons
const QPoint kBarBackground(1, 8);  // left of the bar layout's logo
const QPoint kLetterP(32, 22);      // "P", 405, 255, 165 x 165
const QRect kLetterPArea(27, 17, 11, 11);
const QPoint kMinimise(291, 5);          // Picture6, 4320, 35
const QPoint kLetterO(20, 21);           // "O", 225, 250, 165 x 165
const QPoint kTrackComment(21, 80);      // Picture1, 225, 1110, 180 x 180
const QPoint kMenuButton(9, 7);          // Command1, 75, 45, 135 x 135
const QRect kTransport(7, 97, 180, 13);  // the transport buttons, 105..2850 x 1460..1655

QColor brightest(const QImage& image, const QRect& area) {
    QColor best(Qt::black);
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() + c.green() + c.blue() > best.red() + best.green() + best.blue()) {
                best = c;
            }
        }
    }
    return best;
}

// How many pixels of `area` differ from the bare skin background there: most of them while
// the controls are drawn over it, none when they are put away.
int pixelsOverBackground(const QImage& window, const QRect& area) {
    const QImage background(QString(SKIN_DIR) + "/picNormal.png");
    int differing = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            differing += window.pixel(x, y) != background.pixel(x, y);
        }
    }
    return differing;
}

bool controlsShown(const QImage& window) {
    return pixelsOverBackground(window, kTransport) > kTransport.width() * kTransport.height() / 3;
}

bool near(const QColor& a, const QColor& b, int tolerance = 24) {
    return std::abs(a.red() - b.red()) <= tolerance &&
           std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

// A window's outer rectangle on the screen: where the X server has its client area, grown
// by the frame the window manager says it put round it.
std::optional<QRect> outerRectangle(const X11Desktop& desktop, const QString& window) {
    const QString info = desktop.run("xwininfo", {"-id", window});
    auto value = [&info](const char* name) -> std::optional<int> {
        const auto match = QRegularExpression(QString("%1:\\s+(-?\\d+)").arg(name)).match(info);
        return match.hasMatch() ? std::optional<int>(match.captured(1).toInt()) : std::nullopt;
    };
    const auto x = value("Absolute upper-left X"), y = value("Absolute upper-left Y");
    const auto w = value("Width"), h = value("Height");
    const auto extents = QRegularExpression("= (\\d+), (\\d+), (\\d+), (\\d+)")
                             .match(desktop.property(window, "_NET_FRAME_EXTENTS"));
    if (!x || !y || !w || !h || !extents.hasMatch()) {
        return std::nullopt;
    }
    const QMargins frame(extents.captured(1).toInt(), extents.captured(3).toInt(),
                         extents.captured(2).toInt(), extents.captured(4).toInt());
    return QRect(*x, *y, *w, *h).marginsAdded(frame);
}

// The real qvplayer on the demo disc, silent, with settings of its own, on the desktop.
class X11Player {
public:
    // `session` adds to or takes from the player's environment.
    explicit X11Player(X11Desktop& desktop,
                       const std::function<void(QProcessEnvironment&)>& session = {},
                       const QStringList& moreArguments = {})
        : m_desktop(desktop), m_moreArguments(moreArguments) {
        start(session);
    }
    // Ended before its folders go: shut-down writes its settings there.
    ~X11Player() { end(); }
    X11Player(const X11Player&) = delete;
    X11Player& operator=(const X11Player&) = delete;

    void start(const std::function<void(QProcessEnvironment&)>& session) {
        QDir(m_home.path()).mkpath("settings");
        QDir(m_home.path()).mkpath("runtime");
        QFile::setPermissions(m_home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = m_desktop.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_RUNTIME_DIR", m_home.filePath("runtime"));
        // No session bus, so no StatusNotifier host: Qt puts the icon in the XEmbed tray.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home.filePath("no-bus"));
        if (session) {
            session(env);
        }
        m_process = &m_desktop.start(QVPLAYER,
                                     QStringList{"--drive", "demo", "--audio", "null",
                                                 "--settings-dir", m_home.filePath("settings")} +
                                         m_moreArguments,
                                     env);
    }
    void end() {
        if (m_process->state() == QProcess::NotRunning) {
            return;
        }
        m_process->terminate();
        if (!m_process->waitForFinished(10000)) {
            m_process->kill();
            m_process->waitForFinished();
        }
    }
    qint64 processId() const { return m_process->processId(); }
    // The player ended by itself within `ms`.
    bool ended(int ms) { return m_process->waitForFinished(ms); }
    QString settingsFile(const QString& name) const { return m_home.filePath("settings/" + name); }
    // Types keys into the player's window as the user does, once it has the keyboard.
    void keys(const QStringList& keys) const {
        m_desktop.xdotool({"windowactivate", "--sync", m_window});
        m_desktop.xdotool(QStringList{"key", "--clearmodifiers", "--delay", "60"} + keys);
    }

    // The player's own top-level window, once the window manager shows it.
    bool waitForWindow() {
        const QString pid = QString::number(m_process->processId());
        const bool found = waitUntil(
            [&] {
                for (const QString& id : m_desktop.managedWindows()) {
                    if (m_desktop.property(id, "_NET_WM_PID").trimmed().endsWith("= " + pid)) {
                        m_window = id;
                        return m_desktop.mapState(id) == "IsViewable";
                    }
                }
                return false;
            },
            20000);
        return found;
    }
    const QString& window() const { return m_window; }
    // Another top-level window of the player's that the window manager shows, if any.
    QString sideWindow() const {
        const QString pid = QString::number(m_process->processId());
        for (const QString& id : m_desktop.managedWindows()) {
            if (!sameWindow(id, m_window) && m_desktop.mapState(id) == "IsViewable" &&
                m_desktop.property(id, "_NET_WM_PID").trimmed().endsWith("= " + pid)) {
                return id;
            }
        }
        return {};
    }
    QRect geometry() const { return m_desktop.geometry(m_window).value_or(QRect()); }
    QPoint at(QPoint inWindow) const { return geometry().topLeft() + inWindow; }

    void moveTo(QPoint inWindow) const {
        const QPoint p = at(inWindow);
        m_desktop.xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
    }
    void click(QPoint inWindow, int times = 1) const {
        moveTo(inWindow);
        m_desktop.xdotool({"click", "--repeat", QString::number(times), "--delay", "80", "1"});
    }
    bool above() const { return m_desktop.netWmState(m_window, "_NET_WM_STATE_ABOVE"); }

    // A click on "P" and the stacking it changes: once the window manager shows the change,
    // everything sent to the player before the click has been handled.
    bool toggleAbove() const {
        const bool before = above();
        click(kLetterP);
        return waitUntil([&] { return above() != before; });
    }

    // Presses `button` on the background, moves the pointer on by `way` (in steps, until the
    // window follows) and lets go; true when the window moved by exactly the pointer's way.
    bool dragBy(const QString& button, QPoint way, QString* seen) const {
        const QPoint grab = at(kBackground);
        auto pointer = [&](QPoint p) {
            m_desktop.xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
        };
        const QPoint start = geometry().topLeft();
        pointer(grab);
        m_desktop.xdotool({"mousedown", button});
        QPoint now = grab + QPoint(0, 14);  // past the drag distance
        pointer(now);
        for (int step = 0; step < 20 && geometry().topLeft() == start; ++step) {
            now += QPoint(0, 1);
            pointer(now);
            waitUntil([&] { return geometry().topLeft() != start; }, 200);
        }
        pointer(grab + way);
        const QPoint expected = start + way;
        const bool followed = waitUntil([&] { return geometry().topLeft() == expected; });
        m_desktop.xdotool({"mouseup", button});
        *seen = QString("from %1,%2 to %3,%4, expected %5,%6")
                    .arg(start.x())
                    .arg(start.y())
                    .arg(geometry().x())
                    .arg(geometry().y())
                    .arg(expected.x())
                    .arg(expected.y());
        return followed;
    }

    // Drags the window by its background so that its top-left corner is dropped at `target`.
    // The window manager moves it with the pointer once the drag has begun; the pointer
    // goes on step by step until the window follows, then straight to the target.
    bool dragTo(QPoint target) const {
        const QPoint grab = at(kBackground);
        auto pointer = [&](QPoint p) {
            m_desktop.xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
        };
        pointer(grab);
        m_desktop.xdotool({"mousedown", "1"});
        QPoint now = grab + QPoint(0, 14);  // past the drag distance
        pointer(now);
        const QPoint start = geometry().topLeft();
        for (int step = 0; step < 20 && geometry().topLeft() == start; ++step) {
            now += QPoint(0, 1);
            pointer(now);
            waitUntil([&] { return geometry().topLeft() != start; }, 200);
        }
        const QPoint moved = geometry().topLeft();
        pointer(now + target - moved);
        const bool followed = waitUntil([&] { return geometry().topLeft() == target; });
        m_desktop.xdotool({"mouseup", "1"});
        return moved != start && followed;
    }

private:
    X11Desktop& m_desktop;
    QStringList m_moreArguments;  // given to every start after the usual ones
    QTemporaryDir m_home;
    QProcess* m_process = nullptr;
    QString m_window;
};

class X11Window : public ::testing::Test {
protected:
    void SetUp() override { startDesktop(true); }

    void startDesktop(bool withTray) {
        desktop = std::make_unique<X11Desktop>(withTray);
        if (!desktop->failure().empty()) {
            GTEST_SKIP() << "no X display for the window tests: " << desktop->failure();
        }
        player = std::make_unique<X11Player>(*desktop);
        ASSERT_TRUE(player->waitForWindow()) << "the player's window never showed";
    }
    QRect geometry() const { return player->geometry(); }
    bool placeAt(QPoint topLeft) const {
        desktop->xdotool({"windowmove", player->window(), QString::number(topLeft.x()),
                          QString::number(topLeft.y())});
        return waitUntil([&] { return geometry().topLeft() == topLeft; });
    }

    // Declared in this order so the player ends before its desktop.
    std::unique_ptr<X11Desktop> desktop;
    std::unique_ptr<X11Player> player;
};

TEST_F(X11Window, TheLetterPTogglesKeepOnTopInPlaceWithItsColours) {
    const QString window = player->window();
    EXPECT_TRUE(player->above()) << "kept on top from the start, as the settings say";
    EXPECT_TRUE(near(brightest(desktop->capture(window), kLetterPArea), QColor(0, 255, 255)));

    ASSERT_TRUE(player->toggleAbove());
    EXPECT_FALSE(player->above());
    EXPECT_TRUE(near(brightest(desktop->capture(window), kLetterPArea), QColor(0, 128, 128)))
        << "teal when off";

    ASSERT_TRUE(player->toggleAbove());
    EXPECT_TRUE(player->above());
    EXPECT_TRUE(near(brightest(desktop->capture(window), kLetterPArea), QColor(0, 255, 255)));
    EXPECT_TRUE(desktop->managedWindows().contains(window))
        << "the same window throughout, never hidden and made anew";
}

TEST_F(X11Window, ADropLeavesTheWindowThereAndNearTheTopTakesItUp) {
    ASSERT_TRUE(player->dragTo({200, 300}));
    ASSERT_TRUE(player->toggleAbove());
    EXPECT_EQ(geometry().topLeft(), QPoint(200, 300)) << "left where it was dropped";

    // 75 twips: at the top as soon as the button is up, with no further move.
    ASSERT_TRUE(player->dragTo({200, 5}));
    EXPECT_TRUE(waitUntil([&] { return geometry().topLeft() == QPoint(200, 0); }))
        << "top " << geometry().top();

    // 150 twips: the drop leaves it; the next move over the background takes it up.
    ASSERT_TRUE(player->dragTo({200, 10}));
    ASSERT_TRUE(player->toggleAbove());
    EXPECT_EQ(geometry().top(), 10);
    player->moveTo(kBackground + QPoint(1, 1));
    EXPECT_TRUE(waitUntil([&] { return geometry().top() == 0; })) << "top " << geometry().top();

    // 255 twips: beyond both rules.
    ASSERT_TRUE(player->dragTo({200, 17}));
    player->moveTo(kBackground + QPoint(1, 1));
    ASSERT_TRUE(player->toggleAbove());
    EXPECT_EQ(geometry().topLeft(), QPoint(200, 17));
}

TEST(X11SideWindows, OpenBesideThePlayerFrameAndAllAndNeverOverIt) {
    auto desktop = std::make_unique<X11Desktop>(false);
    if (!desktop->failure().empty()) {
        GTEST_SKIP() << "no X display for the window tests: " << desktop->failure();
    }
    // With a library, so that the comment editors open.
    auto player =
        std::make_unique<X11Player>(*desktop, nullptr, QStringList{"--library", DEMO_LIBRARY});
    ASSERT_TRUE(player->waitForWindow()) << "the player's window never showed";
    const QString window = player->window();
    auto placeAt = [&](QPoint topLeft) {
        desktop->xdotool(
            {"windowmove", window, QString::number(topLeft.x()), QString::number(topLeft.y())});
        return waitUntil([&] { return player->geometry().topLeft() == topLeft; });
    };
    // Opens a side window, waits until it stands where `expected` says (given its outer
    // rectangle and the player's), and closes it again with Escape.
    auto check = [&](const char* what, const std::function<void()>& open,
                     const std::function<bool(QRect side, QRect player)>& expected) {
        open();
        QString side;
        ASSERT_TRUE(waitUntil([&] { return !(side = player->sideWindow()).isEmpty(); }))
            << what << " never showed";
        std::optional<QRect> outer;
        const bool placed = waitUntil([&] {
            outer = outerRectangle(*desktop, side);
            return outer && expected(*outer, player->geometry());
        });
        const QRect p = player->geometry();
        EXPECT_TRUE(placed) << what << ": outer " << outer.value_or(QRect()).x() << ","
                            << outer.value_or(QRect()).y() << " " << outer.value_or(QRect()).width()
                            << "x" << outer.value_or(QRect()).height() << ", player " << p.x()
                            << "," << p.y() << " " << p.width() << "x" << p.height();
        EXPECT_FALSE(outer.value_or(QRect()).intersects(p)) << what;
        desktop->xdotool({"windowactivate", "--sync", side});
        desktop->xdotool({"key", "Escape"});
        ASSERT_TRUE(waitUntil([&] { return player->sideWindow().isEmpty(); }))
            << what << " did not close";
    };
    auto above = [](QRect side, QRect player) {
        return side.left() == player.left() && side.bottom() + 1 == player.top();
    };
    auto below = [](QRect side, QRect player) {
        return side.left() == player.left() && side.top() == player.bottom() + 1;
    };

    // Low on the screen: the comment editor above the player.
    ASSERT_TRUE(placeAt({200, 400}));
    check(
        "the track comment editor", [&] { player->click(kTrackComment); }, above);
    // High up: the options dialog and the about box below it.
    ASSERT_TRUE(placeAt({200, 60}));
    check(
        "the options dialog", [&] { player->click(kLetterO); }, below);
    check(
        "the about box",
        [&] {
            player->click(kMenuButton);
            desktop->xdotool({"key", "--delay", "80", "Down", "Return"});  // the first item
        },
        below);
    player.reset();
}

TEST_F(X11Window, AnyButtonDragsTheWindowAndTheWayToTheDragDistanceIsNotLost) {
    for (const QString button : {"1", "2", "3"}) {
        ASSERT_TRUE(placeAt({300, 300}));
        QString seen;
        EXPECT_TRUE(player->dragBy(button, {57, 83}, &seen))
            << "button " << button.toStdString() << ": " << seen.toStdString();
        // The drop is handled before the next drag.
        ASSERT_TRUE(player->toggleAbove());
        ASSERT_TRUE(player->toggleAbove());
    }
}

TEST_F(X11Window, MovesOverTheBackgroundPullTheWindowToNearEdgesOnly) {
    const QSize screen = desktop->screenSize();
    const QSize size = geometry().size();
    const int right = screen.width() - size.width();
    // The left and right rules: within 200 twips (13 px) of the edge, onto it.
    // The bottom rule: within 580 twips (38 px), 450 twips (30 px) above the screen's bottom.
    const struct {
        QPoint placed;
        QPoint expected;
    } cases[] = {
        {{13, 300}, {0, 300}},
        {{14, 300}, {14, 300}},
        {{right - 13, 300}, {right, 300}},
        {{right - 14, 300}, {right - 14, 300}},
        {{300, screen.height() - size.height() - 38}, {300, screen.height() - size.height() - 30}},
        {{300, screen.height() - size.height() - 39}, {300, screen.height() - size.height() - 39}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(placeAt(c.placed)) << c.placed.x() << "," << c.placed.y();
        player->moveTo(kBackground);
        player->moveTo(kBackground + QPoint(1, 1));
        ASSERT_TRUE(player->toggleAbove());
        EXPECT_EQ(geometry().topLeft(), c.expected)
            << "placed at " << c.placed.x() << "," << c.placed.y() << " ("
            << (screen.width() - c.placed.x() - size.width()) * kTwipsPerPixel << " twips right, "
            << (screen.height() - c.placed.y() - size.height()) * kTwipsPerPixel << " twips below)";
    }
}

TEST_F(X11Window, ADoubleClickOnTheBackgroundTogglesTheBarLayout) {
    ASSERT_TRUE(placeAt({300, 300}));
    player->click(kBackground, 2);
    EXPECT_TRUE(waitUntil([&] { return geometry().height() == 18; }))
        << "height " << geometry().height();
    player->click(kBarBackground, 2);
    EXPECT_TRUE(waitUntil([&] { return geometry().height() == 117; }))
        << "height " << geometry().height();
    EXPECT_EQ(geometry().topLeft(), QPoint(300, 300)) << "double-clicks do not move the window";
}

TEST_F(X11Window, TheTrayIconBringsTheWindowBackEveryTime) {
    QString icon;
    ASSERT_TRUE(waitUntil([&] { return !(icon = desktop->trayChild("qvplayer")).isEmpty(); }))
        << "the icon is not in the XEmbed tray";
    const QString window = player->window();
    ASSERT_TRUE(placeAt({300, 300}));

    auto hide = [&] {
        player->click(kMinimise);
        return waitUntil([&] {
            return desktop->mapState(window) == "IsUnMapped" &&
                   desktop->wmState(window) != "Iconic";
        });
    };
    auto restoredAndFocused = [&] {
        return desktop->mapState(window) == "IsViewable" && desktop->wmState(window) == "Normal" &&
               !desktop->netWmState(window, "_NET_WM_STATE_HIDDEN") &&
               sameWindow(desktop->activeWindow(), window);
    };
    for (int round = 1; round <= 20; ++round) {
        ASSERT_TRUE(hide()) << "round " << round << ": the window is still mapped";
        desktop->xdotool({"mousemove", "--window", icon, "10", "10", "click", "--repeat", "2",
                          "--delay", "60", "1"});
        ASSERT_TRUE(waitUntil(restoredAndFocused))
            << "round " << round << ": " << desktop->mapState(window).toStdString() << " "
            << desktop->wmState(window).toStdString();
        EXPECT_EQ(geometry(), QRect(300, 300, 325, 117)) << "round " << round;
        EXPECT_TRUE(waitUntil([&] { return controlsShown(desktop->capture(window)); }))
            << "round " << round << ": the transport buttons are not shown again";
    }

    // Hidden from the bar layout, it comes back in the normal layout.
    player->click(kBackground, 2);
    ASSERT_TRUE(waitUntil([&] { return geometry().height() == 18; }));
    ASSERT_TRUE(hide());
    desktop->xdotool({"mousemove", "--window", icon, "10", "10", "click", "--repeat", "2",
                      "--delay", "60", "1"});
    ASSERT_TRUE(waitUntil(restoredAndFocused));
    EXPECT_TRUE(waitUntil([&] { return geometry().height() == 117; }));

    // The icon's menu, the player's own: "Restore" is the eighth item from the end, before
    // "Minimize", "Options", "Library…", "Add this disc to the library…" (the demo disc is
    // in no library here), "Exit", "Open Disc Image…" and "Open CD Drive".
    ASSERT_TRUE(hide());
    auto menuShown = [&] {
        for (const QString& id :
             desktop->run("xdotool", {"search", "--onlyvisible", "--classname", "qvplayer"})
                 .split('\n', Qt::SkipEmptyParts)) {
            if (desktop->run("xwininfo", {"-id", id}).contains("Override Redirect State: yes")) {
                return true;
            }
        }
        return false;
    };
    // Keys typed before the menu holds the keyboard, a moment after it shows, are lost:
    // a menu still open after them is closed and opened again.
    bool restored = false;
    for (int attempt = 1; attempt <= 3 && !restored; ++attempt) {
        desktop->xdotool({"mousemove", "--window", icon, "10", "10", "click", "3"});
        ASSERT_TRUE(waitUntil(menuShown)) << "the right-click opened no menu";
        desktop->xdotool(
            {"key", "--delay", "40", "Up", "Up", "Up", "Up", "Up", "Up", "Up", "Up", "Return"});
        restored = waitUntil(restoredAndFocused, 2000);
        if (!restored && menuShown()) {
            desktop->xdotool({"key", "Escape"});
            waitUntil([&] { return !menuShown(); });
        }
    }
    EXPECT_TRUE(restored) << "the menu's Restore";
}

TEST(X11WindowWithoutTray, HidingMinimisesTheWindowSoTheTaskbarCanBringItBack) {
    auto desktop = std::make_unique<X11Desktop>(false);
    if (!desktop->failure().empty()) {
        GTEST_SKIP() << "no X display for the window tests: " << desktop->failure();
    }
    X11Player player(*desktop);
    ASSERT_TRUE(player.waitForWindow());
    const QString window = player.window();

    player.click(kMinimise);
    ASSERT_TRUE(waitUntil([&] { return desktop->wmState(window) == "Iconic"; }))
        << "not minimised: " << desktop->wmState(window).toStdString();
    EXPECT_TRUE(desktop->netWmState(window, "_NET_WM_STATE_HIDDEN"));
    EXPECT_TRUE(desktop->managedWindows().contains(window)) << "still in the taskbar's list";

    desktop->xdotool({"windowactivate", window});  // what a taskbar does on a click
    ASSERT_TRUE(waitUntil([&] {
        return desktop->mapState(window) == "IsViewable" && desktop->wmState(window) == "Normal";
    }));
    EXPECT_TRUE(waitUntil([&] { return controlsShown(desktop->capture(window)); }))
        << "the transport buttons are shown again";
}

// A socket where a Wayland compositor would listen, which takes connections and never
// answers: a program that chose Wayland would wait on it for ever.
class SilentCompositor {
public:
    explicit SilentCompositor(const QString& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray name = QFile::encodeName(path);
        std::memcpy(address.sun_path, name.constData(),
                    std::min<std::size_t>(name.size(), sizeof address.sun_path - 1));
        m_listening = m_fd >= 0 &&
                      ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                      ::listen(m_fd, 8) == 0;
    }
    ~SilentCompositor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    bool listening() const { return m_listening; }

private:
    int m_fd;
    bool m_listening = false;
};

TEST(X11WindowOnWayland, OnAWaylandSessionTheWindowGoesThroughXWayland) {
    X11Desktop desktop(false);
    if (!desktop.failure().empty()) {
        GTEST_SKIP() << "no X display for the window tests: " << desktop.failure();
    }
    QTemporaryDir runtime;
    const QString socket = runtime.filePath("wayland-silent");
    SilentCompositor compositor(socket);
    ASSERT_TRUE(compositor.listening());
    X11Player player(desktop, [&](QProcessEnvironment& env) {
        env.remove("QT_QPA_PLATFORM");
        env.insert("XDG_SESSION_TYPE", "wayland");
        env.insert("WAYLAND_DISPLAY", socket);
    });
    EXPECT_TRUE(player.waitForWindow()) << "no window on the X display";
}

// A menu of the player's is open: an override-redirect window of its class.
bool popupShown(const X11Desktop& desktop) {
    for (const QString& id :
         desktop.run("xdotool", {"search", "--onlyvisible", "--classname", "qvplayer"})
             .split('\n', Qt::SkipEmptyParts)) {
        if (desktop.run("xwininfo", {"-id", id}).contains("Override Redirect State: yes")) {
            return true;
        }
    }
    return false;
}

// A private session bus for one test, so that the player's MPRIS object can be read back
// with playerctl, as a desktop reads it.
class PrivateBus {
public:
    explicit PrivateBus(X11Desktop& desktop) {
        m_address = "unix:path=" + m_dir.filePath("bus");
        desktop.start("dbus-daemon", {"--session", "--nofork", "--address=" + m_address},
                      desktop.environment());
        waitUntil([&] { return QFile::exists(m_dir.filePath("bus")); });
    }
    const QString& address() const { return m_address; }
    // playerctl's answer for the player, trimmed; empty when it has none.
    QString playerctl(const QStringList& arguments) const {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DBUS_SESSION_BUS_ADDRESS", m_address);
        tool.setProcessEnvironment(env);
        tool.start("playerctl", QStringList{"-p", "sonarch"} + arguments);
        if (!tool.waitForFinished(5000)) {
            tool.kill();
            tool.waitForFinished();
            return {};
        }
        return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
    }

private:
    QTemporaryDir m_dir;
    QString m_address;
};

// Why the tests that read the player back over a session bus cannot run here; empty when
// they can.
std::string missingForBusTests(const X11Desktop& desktop) {
    if (!desktop.failure().empty()) {
        return "no X display for the window tests: " + desktop.failure();
    }
    if (QStandardPaths::findExecutable("playerctl").isEmpty() ||
        QStandardPaths::findExecutable("dbus-daemon").isEmpty()) {
        return "playerctl or dbus-daemon is missing (scripts/setup.sh installs them)";
    }
    return {};
}

TEST(X11Keys, KeysTypedIntoTheWindowDriveThePlayer) {
    X11Desktop desktop(false);
    if (const std::string why = missingForBusTests(desktop); !why.empty()) {
        GTEST_SKIP() << why;
    }
    PrivateBus bus(desktop);
    X11Player player(desktop, [&](QProcessEnvironment& env) {
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    });
    ASSERT_TRUE(player.waitForWindow());
    auto status = [&] { return bus.playerctl({"status"}); };
    ASSERT_TRUE(waitUntil([&] { return status() == "Playing"; }, 20000)) << status().toStdString();
    const QString first = bus.playerctl({"metadata", "title"});

    player.keys({"space"});
    EXPECT_TRUE(waitUntil([&] { return status() == "Paused"; })) << status().toStdString();
    player.keys({"space"});
    EXPECT_TRUE(waitUntil([&] { return status() == "Playing"; })) << status().toStdString();
    player.keys({"XF86AudioPlay"});  // the media key, while the window has the keyboard
    EXPECT_TRUE(waitUntil([&] { return status() == "Paused"; })) << status().toStdString();
    player.keys({"XF86AudioPlay"});
    EXPECT_TRUE(waitUntil([&] { return status() == "Playing"; })) << status().toStdString();

    player.keys({"Next"});  // Page Down
    ASSERT_TRUE(waitUntil([&] { return bus.playerctl({"metadata", "title"}) != first; }));
    const QString second = bus.playerctl({"metadata", "title"});
    player.keys({"ctrl+Left"});
    EXPECT_TRUE(waitUntil([&] { return bus.playerctl({"metadata", "title"}) == first; }));
    player.keys({"2"});
    EXPECT_TRUE(waitUntil([&] {
        return bus.playerctl({"metadata", "title"}) == second;
    })) << "the key 2 plays the second track";

    const double before = bus.playerctl({"volume"}).toDouble();
    player.keys({"Down", "Down"});
    EXPECT_TRUE(waitUntil([&] { return bus.playerctl({"volume"}).toDouble() < before - 0.01; }))
        << bus.playerctl({"volume"}).toStdString();

    player.keys({"ctrl+q"});
    EXPECT_TRUE(player.ended(10000)) << "Ctrl+Q ends the player";
}

// A CUE sheet with two audio tracks of `seconds` each over a BIN file of silence.
QString writeSilentImage(const QTemporaryDir& dir, int seconds) {
    const int sectors = seconds * 75;
    QFile bin(dir.filePath("silence.bin"));
    if (!bin.open(QIODevice::WriteOnly) || !bin.resize(qint64(2) * sectors * 2352)) {
        return {};
    }
    QFile cue(dir.filePath("silence.cue"));
    if (!cue.open(QIODevice::WriteOnly)) {
        return {};
    }
    cue.write(QString("FILE \"silence.bin\" BINARY\n"
                      "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                      "  TRACK 02 AUDIO\n    INDEX 01 %1:%2:00\n")
                  .arg(seconds / 60, 2, 10, QChar('0'))
                  .arg(seconds % 60, 2, 10, QChar('0'))
                  .toUtf8());
    return cue.fileName();
}

TEST(X11OpenDisc, AnImageChosenFromTheMenuIsPlayedAndKeptForTheNextStart) {
    X11Desktop desktop(false);
    if (const std::string why = missingForBusTests(desktop); !why.empty()) {
        GTEST_SKIP() << why;
    }
    QTemporaryDir images;
    const QString cue = writeSilentImage(images, 7);
    ASSERT_FALSE(cue.isEmpty());
    PrivateBus bus(desktop);
    X11Player player(desktop, [&](QProcessEnvironment& env) {
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    });
    ASSERT_TRUE(player.waitForWindow());
    ASSERT_TRUE(waitUntil([&] { return bus.playerctl({"status"}) == "Playing"; }, 20000));

    // The menu button, then "Open Disc Image…", the second item from the end.
    auto dialog = [&] {
        return desktop.run("xdotool", {"search", "--onlyvisible", "--name", "^Open Disc Image$"})
            .trimmed();
    };
    for (int attempt = 1; attempt <= 3 && dialog().isEmpty(); ++attempt) {
        player.click({9, 7});  // Command1, 75, 45, 135 x 135
        ASSERT_TRUE(waitUntil([&] { return popupShown(desktop); })) << "the click opened no menu";
        desktop.xdotool({"key", "--delay", "60", "Up", "Up", "Return"});
        if (!waitUntil([&] { return !dialog().isEmpty(); }, 3000)) {
            desktop.xdotool({"key", "Escape"});
        }
    }
    const QString chooser = dialog();
    ASSERT_FALSE(chooser.isEmpty()) << "no file dialog";
    desktop.xdotool({"windowactivate", "--sync", chooser.split('\n').front()});
    desktop.xdotool({"type", "--delay", "20", cue});
    desktop.xdotool({"key", "Return"});
    // The image's first track is 7 seconds long; the demo disc has none such.
    EXPECT_TRUE(waitUntil(
        [&] {
            return bus.playerctl({"metadata", "mpris:length"}) == "7000000";
        },
        20000))
        << bus.playerctl({"metadata", "mpris:length"}).toStdString();

    player.keys({"ctrl+q"});
    ASSERT_TRUE(player.ended(10000));
    QFile state(player.settingsFile("player-state.txt"));
    ASSERT_TRUE(state.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(state.readAll()).contains(cue)) << "kept as the last disc";
}

TEST(X11TrayIcon, LeftClickShowsOrHidesMiddleClickPausesTheWheelTurnsTheVolume) {
    X11Desktop desktop(true);
    if (const std::string why = missingForBusTests(desktop); !why.empty()) {
        GTEST_SKIP() << why;
    }
    PrivateBus bus(desktop);  // no StatusNotifier host on it: the icon goes to the XEmbed tray
    X11Player player(desktop, [&](QProcessEnvironment& env) {
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    });
    ASSERT_TRUE(player.waitForWindow());
    QString icon;
    ASSERT_TRUE(waitUntil([&] { return !(icon = desktop.trayChild("qvplayer")).isEmpty(); }))
        << "the icon is not in the XEmbed tray";
    auto status = [&] { return bus.playerctl({"status"}); };
    ASSERT_TRUE(waitUntil([&] { return status() == "Playing"; }, 20000));
    // Each click past the double-click time of the one before, so that it is a click of its
    // own (a second click within it is a double-click, which only the left button has).
    auto clickIcon = [&](const char* button) {
        QTest::qWait(kDoubleClickMs);
        desktop.xdotool({"mousemove", "--window", icon, "10", "10", "click", button});
    };

    clickIcon("2");
    EXPECT_TRUE(waitUntil([&] { return status() == "Paused"; })) << status().toStdString();
    clickIcon("2");
    EXPECT_TRUE(waitUntil([&] { return status() == "Playing"; })) << status().toStdString();

    const double before = bus.playerctl({"volume"}).toDouble();
    clickIcon("5");  // the wheel turned down a notch
    clickIcon("5");
    EXPECT_TRUE(waitUntil([&] { return bus.playerctl({"volume"}).toDouble() < before - 0.01; }))
        << bus.playerctl({"volume"}).toStdString();
    const double lower = bus.playerctl({"volume"}).toDouble();
    clickIcon("4");
    EXPECT_TRUE(waitUntil([&] { return bus.playerctl({"volume"}).toDouble() > lower + 0.001; }));

    const QString window = player.window();
    clickIcon("1");
    EXPECT_TRUE(waitUntil([&] { return desktop.mapState(window) == "IsUnMapped"; }))
        << "a left click hides the window";
    clickIcon("1");
    EXPECT_TRUE(waitUntil([&] { return desktop.mapState(window) == "IsViewable"; }))
        << "and the next shows it";
}

TEST(X11ScreenReader, EveryControlIsNamedWithItsRoleAndPlayIsPressedThroughItsAction) {
    X11Desktop desktop(false);
    if (const std::string why = missingForBusTests(desktop); !why.empty()) {
        GTEST_SKIP() << why;
    }
    if (!QFile::exists("/usr/bin/python3") ||
        QProcess::execute("/usr/bin/python3", {"-c", "import pyatspi"}) != 0 ||
        !QFile::exists("/usr/share/dbus-1/services/org.a11y.Bus.service")) {
        GTEST_SKIP() << "no accessibility bus here (scripts/setup.sh installs python3-pyatspi "
                        "and at-spi2-core)";
    }
    // The session bus starts the accessibility bus when the player asks for it.
    PrivateBus bus(desktop);
    X11Player player(desktop, [&](QProcessEnvironment& env) {
        env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        env.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
        env.insert("QT_ACCESSIBILITY", "1");
    });
    ASSERT_TRUE(player.waitForWindow());
    ASSERT_TRUE(waitUntil([&] { return bus.playerctl({"status"}) == "Playing"; }, 20000));
    bus.playerctl({"stop"});
    ASSERT_TRUE(waitUntil([&] { return bus.playerctl({"status"}) == "Stopped"; }));

    QProcess reader;
    QProcessEnvironment env = desktop.environment();
    env.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
    reader.setProcessEnvironment(env);
    reader.start("/usr/bin/python3", {ATSPI_CONTROLS, QString::number(player.processId()), "Play"});
    ASSERT_TRUE(reader.waitForFinished(60000));
    const QString out = QString::fromUtf8(reader.readAllStandardOutput());
    if (reader.exitCode() == 2) {
        GTEST_SKIP() << "the accessibility bus did not start: "
                     << reader.readAllStandardError().toStdString();
    }
    ASSERT_EQ(reader.exitCode(), 0) << reader.readAllStandardError().toStdString();

    QMap<QString, QString> roles;  // name -> role, of the controls shown
    int unnamed = 0;
    QStringList withoutPress;
    for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split('\t');
        if (f.size() != 4 || f[3] != "showing") {
            continue;
        }
        const QString& role = f[0];
        if (role == "push button" || role == "check box" || role == "slider" || role == "label" ||
            role == "text" || role == "tree") {
            unnamed += f[1].isEmpty();
            roles.insert(f[1], role);
            if ((role == "push button" || role == "check box") && !f[2].contains("Press")) {
                withoutPress << f[1];
            }
        }
    }
    EXPECT_EQ(unnamed, 0) << out.toStdString();
    EXPECT_TRUE(withoutPress.isEmpty()) << withoutPress.join(", ").toStdString();
    const std::pair<const char*, const char*> expected[] = {
        {"Play", "push button"},
        {"Pause", "push button"},
        {"Stop", "push button"},
        {"Previous track", "push button"},
        {"Next track", "push button"},
        {"Eject", "push button"},
        {"Rewind", "push button"},
        {"Fast forward", "push button"},
        {"Track 1", "push button"},
        {"Options", "push button"},
        {"Continuous play", "check box"},
        {"Toggle always ontop on and off", "check box"},
        {"CD audio volume", "slider"},
        {"Minimize window", "push button"},
        {"Title", "text"},
        {"Artist", "text"},
        {"Album", "text"},
        {"Track list", "tree"}};
    for (const auto& [name, role] : expected) {
        EXPECT_EQ(roles.value(name).toStdString(), role) << name;
    }
    EXPECT_TRUE(out.contains("pressed"));
    EXPECT_TRUE(waitUntil([&] { return bus.playerctl({"status"}) == "Playing"; }))
        << "Play pressed by the screen reader";
}
}  // namespace
}  // namespace sonarch::testing

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
