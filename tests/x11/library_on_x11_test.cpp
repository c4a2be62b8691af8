// A new user's way to titles and ratings, on a real X server with a session bus of its
// own: the player on a disc no library holds, "Add this disc to the library…" from its
// menu, the library window making the first library and looking the disc up at a local
// server that answers as MusicBrainz and the Cover Art Archive do, a save, and the player
// showing the titles and keeping a rating, without a restart. xdotool acts as the user.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <memory>

#include "support/musicbrainz_answers.h"
#include "support/web_test_server.h"
#include "x11_desktop.h"

namespace sonarch::testing {
namespace {

constexpr int kWaitMs = 30000;
// Places in the player window, in pixels, from its definition (twips / 15).
const QPoint kMenuButton(9, 7);  // Command1, 75, 45, 135 x 135
const QPoint kLetterR(56, 22);   // "R", 765, 255, 165 x 165

std::vector<std::vector<std::string>> rows(const QString& library, const char* query) {
    std::vector<std::vector<std::string>> result;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(library).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* select = nullptr;
        if (sqlite3_prepare_v2(db, query, -1, &select, nullptr) == SQLITE_OK) {
            while (sqlite3_step(select) == SQLITE_ROW) {
                std::vector<std::string> row;
                for (int i = 0; i < sqlite3_column_count(select); ++i) {
                    const auto* text = sqlite3_column_text(select, i);
                    row.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
                }
                result.push_back(row);
            }
        }
        sqlite3_finalize(select);
    }
    sqlite3_close(db);
    return result;
}

class X11LibraryWindow : public ::testing::Test {
protected:
    void SetUp() override {
        desktop = std::make_unique<X11Desktop>(false);
        if (!desktop->failure().empty()) {
            GTEST_SKIP() << "no X display for the window tests: " << desktop->failure();
        }
        QProcess& bus =
            desktop->start("dbus-daemon", {"--session", "--nofork", "--print-address=1"},
                           QProcessEnvironment::systemEnvironment());
        if (!bus.waitForStarted(kWaitMs) || !bus.waitForReadyRead(kWaitMs)) {
            GTEST_SKIP() << "no dbus-daemon for a session bus";
        }
        busAddress = QString::fromUtf8(bus.readLine()).trimmed();
        QDir(home.path()).mkpath("settings");
        QDir(home.path()).mkpath("runtime");
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    void TearDown() override {
        // The library window was started by the player, on its own: it is ended here.
        if (libraryWindowPid > 0) {
            ::kill(libraryWindowPid, SIGTERM);
        }
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment env = desktop->environment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.insert("XDG_DATA_HOME", home.filePath("data"));
        env.insert("XDG_CACHE_HOME", home.filePath("cache"));
        env.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        env.insert("QVLIB_MUSICBRAINZ_SERVER", QString::fromStdString(server.url()));
        env.insert("QVLIB_COVERART_SERVER", QString::fromStdString(server.url() + "/caa"));
        env.insert("no_proxy", "127.0.0.1");
        return env;
    }
    // The top-level window the window manager shows for `pid`, or with this name.
    QString windowWhere(const std::function<bool(const QString&)>& matches) const {
        QString found;
        waitUntil(
            [&] {
                for (const QString& id : desktop->managedWindows()) {
                    if (matches(id) && desktop->mapState(id) == "IsViewable") {
                        found = id;
                        return true;
                    }
                }
                return false;
            },
            kWaitMs);
        return found;
    }
    void clickIn(const QString& window, QPoint inWindow) const {
        const QPoint p = desktop->geometry(window).value_or(QRect()).topLeft() + inWindow;
        desktop->xdotool({"mousemove", QString::number(p.x()), QString::number(p.y())});
        desktop->xdotool({"click", "1"});
    }
    void keys(const QString& window, const QStringList& names) const {
        desktop->xdotool(QStringList{"windowactivate", "--sync", window});
        desktop->xdotool(QStringList{"key"} + names);
    }
    // The windows of the process the X server shows, its pop-up menus among them.
    int visibleWindows(const QString& pid) const {
        return int(desktop->run("xdotool", {"search", "--onlyvisible", "--pid", pid})
                       .split('\n', Qt::SkipEmptyParts)
                       .size());
    }
    // Clicks a control of the window that pops a menu up, and waits for the menu.
    bool popUp(const QString& window, const QString& pid, QPoint control) const {
        const int before = visibleWindows(pid);
        clickIn(window, control);
        return waitUntil([&] { return visibleWindows(pid) > before; }, kWaitMs);
    }
    QString playerTitle() const {
        QDBusConnection bus = QDBusConnection::connectToBus(busAddress, "x11-library-test");
        QDBusMessage get = QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.sonarch",
                                                          "/org/mpris/MediaPlayer2",
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << QString("org.mpris.MediaPlayer2.Player") << QString("Metadata");
        const QDBusMessage reply = bus.call(get, QDBus::Block, 5000);
        if (reply.arguments().isEmpty()) {
            return {};
        }
        QVariantMap metadata;
        reply.arguments()[0].value<QDBusVariant>().variant().value<QDBusArgument>() >> metadata;
        return metadata.value("xesam:title").toString();
    }

    std::unique_ptr<X11Desktop> desktop;
    QTemporaryDir home;
    QString busAddress;
    WebTestServer server;
    qint64 libraryWindowPid = 0;
};

TEST_F(X11LibraryWindow, FromTheMenuToTitlesAndAKeptRatingWithoutARestart) {
    using namespace musicbrainz;
    server.serve(kDiscPath,
                 {200, byDiscId(release(kReleaseA, "Proud", "Band", "Song", true, discIds()))});
    const std::string cover = coverPicture(DEMO_SOURCE_DIR);
    server.serve("/caa/release/" + kReleaseA + "/front", {200, cover, "image/png"});

    // A fresh install: no library chosen.
    QProcess& player = desktop->start(QVPLAYER,
                                      {"--drive", QString::fromStdString(discDrive()), "--audio",
                                       "null", "--settings-dir", home.filePath("settings")},
                                      environment());
    const QString pid = QString::number(player.processId());
    const QString playerWindow = windowWhere([&](const QString& id) {
        return desktop->property(id, "_NET_WM_PID").trimmed().endsWith("= " + pid);
    });
    ASSERT_FALSE(playerWindow.isEmpty()) << "the player's window never showed";
    ASSERT_TRUE(waitUntil([&] { return playerTitle() == "Track 01"; }, kWaitMs));

    // The menu's "Add this disc to the library…": the fourth entry from the end, before
    // "Exit", "Open Disc Image…" and "Open CD Drive".
    ASSERT_TRUE(popUp(playerWindow, pid, kMenuButton));
    desktop->xdotool({"key", "Down", "Up", "Up", "Up", "Up", "Return"});
    const QString library = windowWhere([&](const QString& id) {
        return desktop->property(id, "WM_NAME").contains("Sonarch Library");
    });
    ASSERT_FALSE(library.isEmpty()) << "the library window never showed";
    libraryWindowPid = desktop->run("xdotool", {"getwindowpid", library}).trimmed().toLongLong();

    // First use: "Create the library" (Alt+C); then the disc is read.
    keys(library, {"alt+c"});
    const QString made = home.filePath("data/qvplayer/library.dbd");
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(made); }, kWaitMs));
    // "Look up online" (Alt+O); the one release holding the disc is taken, its cover fetched.
    ASSERT_TRUE(waitUntil(
        [&] {
            keys(library, {"alt+o"});
            return !server.requests().empty();
        },
        kWaitMs));
    ASSERT_TRUE(waitUntil([&] { return server.requests().size() >= 2; }, kWaitMs));
    // Save is refused while the cover is on its way; then it takes names and cover.
    ASSERT_TRUE(waitUntil(
        [&] {
            keys(library, {"ctrl+s"});
            return !rows(made, "SELECT 1 FROM Audio").empty();
        },
        kWaitMs));
    const auto saved =
        rows(made, "SELECT trkNum, trkTitle, Album, Cover FROM Audio ORDER BY trkNum");
    ASSERT_EQ(saved.size(), 15u);
    EXPECT_EQ(saved[0][1], "Song 1");
    EXPECT_EQ(saved[0][2], "Proud");
    EXPECT_EQ(saved[0][3],
              home.filePath("data/qvplayer/covers/" + QString::fromStdString(kReleaseA) + ".png")
                  .toStdString());

    // The player shows the titles at once, and keeps a rating: "R", then the first, 10.
    EXPECT_TRUE(waitUntil([&] { return playerTitle() == "Song 1"; }, kWaitMs))
        << playerTitle().toStdString();
    ASSERT_TRUE(popUp(playerWindow, pid, kLetterR));
    desktop->xdotool({"key", "Down", "Return"});
    EXPECT_TRUE(waitUntil(
        [&] {
            return rows(made, "SELECT Rating FROM Audio WHERE trkNum = '01'") ==
                   std::vector<std::vector<std::string>>{{"10"}};
        },
        kWaitMs));

    player.terminate();
    ASSERT_TRUE(player.waitForFinished(kWaitMs));
    QFile settings(home.filePath("settings/player.dat"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.readLine().trimmed(), QFile::encodeName(made))
        << "the new library is the player's from now on";
}

}  // namespace
}  // namespace sonarch::testing
