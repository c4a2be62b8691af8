// Starts of the player on a real X server with a window manager and a tray: a second start
// that brings the hidden window back, a stored place off the screen, the tray flag of a
// start in the bar layout. The program runs as the user runs it; the X server says what
// came of it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <memory>

#include "support/settings_lines.h"
#include "x11_desktop.h"

namespace sonarch::testing {
namespace {

constexpr int kWaitMs = 20000;
const QSize kNormalWindow(325, 117);
const QPoint kMinimise(291, 5);     // Picture6, 4320, 35
const QPoint kBarBackground(1, 8);  // left of the bar layout's logo

// A player.dat as the player writes it, with the window at `left`, `top` (twips) and the
// bar layout and tray flags given; the rest as fresh settings have it.
QByteArray settingsFile(int left, int top, bool barMode, bool inTray) {
    const auto flag = [](bool on) { return QByteArray(on ? "True" : "False"); };
    const QList<QByteArray> lines{"None selected",
                                  "True",
                                  "False",
                                  "True",
                                  "False",
                                  "False",
                                  flag(barMode),
                                  flag(inTray),
                                  " " + QByteArray::number(left) + " ",
                                  " " + QByteArray::number(top) + " ",
                                  " 10 ",
                                  " 34000 ",
                                  "True",
                                  "False",
                                  "False"};
    return lines.join("\r\n") + "\r\n";
}

// The player's folders: its settings (made before it starts) and a private runtime folder;
// no session bus, so later starts reach it over its socket and its icon goes to the tray.
class PlayerFolders {
public:
    explicit PlayerFolders(const QByteArray& settings = {}) {
        QDir(m_home.path()).mkpath("settings");
        QDir(m_home.path()).mkpath("runtime");
        QFile::setPermissions(m_home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        if (!settings.isEmpty()) {
            QFile file(settingsFile());
            if (file.open(QIODevice::WriteOnly)) {
                file.write(settings);
            }
        }
    }
    QProcessEnvironment environment(const X11Desktop& desktop) const {
        QProcessEnvironment env = desktop.environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_RUNTIME_DIR", m_home.filePath("runtime"));
        env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + m_home.filePath("no-bus"));
        return env;
    }
    QStringList arguments() const {
        return {"--drive", "demo",           "--audio",
                "null",    "--settings-dir", m_home.filePath("settings")};
    }
    QString settingsFile() const { return m_home.filePath("settings/player.dat"); }

private:
    QTemporaryDir m_home;
};

// The top-level window of the process, once the window manager knows it.
QString windowOf(const X11Desktop& desktop, const QProcess& process) {
    const QString pid = QString::number(process.processId());
    QString found;
    waitUntil(
        [&] {
            for (const QString& id : desktop.managedWindows()) {
                if (desktop.property(id, "_NET_WM_PID").trimmed().endsWith("= " + pid)) {
                    found = id;
                    return true;
                }
            }
            return false;
        },
        kWaitMs);
    return found;
}

bool inView(const X11Desktop& desktop, const QString& window) {
    return desktop.mapState(window) == "IsViewable";
}

// Ends the player the normal way (its settings are saved) and waits for it.
bool endPlayer(QProcess& player) {
    player.terminate();
    return player.waitForFinished(kWaitMs) && player.exitCode() == 0;
}

class X11Start : public ::testing::Test {
protected:
    void SetUp() override {
        desktop = std::make_unique<X11Desktop>(true);
        if (!desktop->failure().empty()) {
            GTEST_SKIP() << "no X display for the window tests: " << desktop->failure();
        }
    }
    QProcess& startPlayer(const PlayerFolders& folders) {
        return desktop->start(QVPLAYER, folders.arguments(), folders.environment(*desktop));
    }
    std::unique_ptr<X11Desktop> desktop;
};

TEST_F(X11Start, ASecondStartBringsTheWindowOutOfTheTrayAndGivesItTheKeyboard) {
    PlayerFolders folders;
    QProcess& player = startPlayer(folders);
    const QString window = windowOf(*desktop, player);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return inView(*desktop, window); }, kWaitMs));
    ASSERT_TRUE(waitUntil([&] { return !desktop->trayChild("qvplayer").isEmpty(); }))
        << "the icon is not in the tray, so hiding would not hide";

    for (int round = 1; round <= 3; ++round) {
        const QPoint minimise = desktop->geometry(window).value_or(QRect()).topLeft() + kMinimise;
        desktop->xdotool({"mousemove", QString::number(minimise.x()), QString::number(minimise.y()),
                          "click", "1"});
        ASSERT_TRUE(waitUntil([&] { return desktop->mapState(window) == "IsUnMapped"; }))
            << "round " << round << ": not hidden in the tray";

        // Started again from the menu, with no drive to hand over.
        QProcess& second = desktop->start(QVPLAYER, {}, folders.environment(*desktop));
        ASSERT_TRUE(second.waitForFinished(kWaitMs));
        EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
        EXPECT_TRUE(waitUntil([&] {
            return inView(*desktop, window) && desktop->wmState(window) == "Normal" &&
                   sameWindow(desktop->activeWindow(), window);
        })) << "round "
            << round << ": " << desktop->mapState(window).toStdString() << ", active "
            << desktop->activeWindow().toStdString();
    }
    EXPECT_TRUE(endPlayer(player));
    EXPECT_EQ(SettingsFileLines(folders.settingsFile()).value(7), "False")
        << "in view when it closed, so not in the tray";
}

TEST_F(X11Start, AStoredPlaceOffTheScreenIsPulledOntoItWhole) {
    // Where a larger monitor had it: 2000, 1500 pixels on a screen of 1024 x 768.
    PlayerFolders folders(settingsFile(2000 * 15, 1500 * 15, false, false));
    QProcess& player = startPlayer(folders);
    const QString window = windowOf(*desktop, player);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return inView(*desktop, window); }, kWaitMs));
    const QSize screen = desktop->screenSize();
    const QPoint corner(screen.width() - kNormalWindow.width(),
                        screen.height() - kNormalWindow.height());
    EXPECT_TRUE(waitUntil([&] {
        return desktop->geometry(window) == QRect(corner, kNormalWindow);
    })) << "at "
        << desktop->geometry(window).value_or(QRect()).x() << ", "
        << desktop->geometry(window).value_or(QRect()).y();
    EXPECT_TRUE(endPlayer(player));
    const QStringList saved = SettingsFileLines(folders.settingsFile());
    ASSERT_EQ(saved.size(), 15);
    EXPECT_EQ(saved[8].trimmed().toInt(), corner.x() * 15) << "kept where it came back to";
}

TEST_F(X11Start, AStartInTheBarLayoutIsInViewSoTheNextNormalStartIsToo) {
    PlayerFolders folders(settingsFile(3000, 3000, true, true));
    QProcess& player = startPlayer(folders);
    const QString window = windowOf(*desktop, player);
    ASSERT_FALSE(window.isEmpty());
    ASSERT_TRUE(waitUntil([&] { return inView(*desktop, window); }, kWaitMs))
        << "the bar layout never starts in the tray";
    ASSERT_TRUE(waitUntil([&] { return desktop->geometry(window)->height() == 18; }));
    // Back to the normal layout by a double-click on the bar's background, then closed.
    const QPoint background = desktop->geometry(window)->topLeft() + kBarBackground;
    desktop->xdotool({"mousemove", QString::number(background.x()), QString::number(background.y()),
                      "click", "--repeat", "2", "--delay", "80", "1"});
    ASSERT_TRUE(waitUntil([&] { return desktop->geometry(window)->height() == 117; }));
    EXPECT_TRUE(endPlayer(player));
    const QStringList saved = SettingsFileLines(folders.settingsFile());
    ASSERT_EQ(saved.size(), 15);
    EXPECT_EQ(saved[6], "False") << "the normal layout";
    EXPECT_EQ(saved[7], "False") << "never in the tray";

    QProcess& next = startPlayer(folders);
    const QString again = windowOf(*desktop, next);
    ASSERT_FALSE(again.isEmpty());
    EXPECT_TRUE(waitUntil([&] { return inView(*desktop, again); }, kWaitMs))
        << "the next normal start opened hidden";
    EXPECT_TRUE(endPlayer(next));
}

}  // namespace
}  // namespace sonarch::testing
