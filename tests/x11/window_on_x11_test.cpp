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
#include <QTest>
#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

#include "x11_desktop.h"

namespace sonarch::testing {
namespace {

constexpr int kTwipsPerPixel = 15;

// Places in the window, in pixels, from the window definition (twips / 15).
const QPoint kBackground(3, 60);    // the bare margin left of the comment buttons
const QPoint kBarBackground(1, 8);  // left of the bar layout's logo
const QPoint kLetterP(32, 22);      // "P", 405, 255, 165 x 165
const QRect kLetterPArea(27, 17, 11, 11);
const QPoint kMinimise(291, 5);          // Picture6, 4320, 35
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

// The real qvplayer on the demo disc, silent, with settings of its own, on the desktop.
class X11Player {
public:
    // `session` adds to or takes from the player's environment.
    explicit X11Player(X11Desktop& desktop,
                       const std::function<void(QProcessEnvironment&)>& session = {})
        : m_desktop(desktop) {
        QDir(m_home.path()).mkpath("settings");
        QDir(m_home.path()).mkpath("runtime");
        QFile::setPermissions(m_home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = desktop.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_RUNTIME_DIR", m_home.filePath("runtime"));
        // No session bus, so no StatusNotifier host: Qt puts the icon in the XEmbed tray.
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home.filePath("no-bus"));
        if (session) {
            session(env);
        }
        m_process = &desktop.start(
            QVPLAYER,
            {"--drive", "demo", "--audio", "null", "--settings-dir", m_home.filePath("settings")},
            env);
    }
    ~X11Player() {
        // Ended before its folders go: shut-down writes its settings there.
        m_process->terminate();
        if (!m_process->waitForFinished(10000)) {
            m_process->kill();
            m_process->waitForFinished();
        }
    }
    X11Player(const X11Player&) = delete;
    X11Player& operator=(const X11Player&) = delete;

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

    // The icon's menu, the player's own: "Restore" is the sixth item from the end, before
    // "Minimize", "Options", "Library…", "Add this disc to the library…" (the demo disc is
    // in no library here) and "Exit".
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
        desktop->xdotool({"key", "--delay", "40", "Up", "Up", "Up", "Up", "Up", "Up", "Return"});
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

}  // namespace
}  // namespace sonarch::testing

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
