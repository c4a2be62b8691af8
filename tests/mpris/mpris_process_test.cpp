// The real qvplayer on a private session bus (each test runs under dbus-run-session),
// driven by playerctl as a desktop would, and read back through QtDBus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <limits>
#include <memory>

#include "support/disc_images.h"
#include "support/settings_lines.h"

namespace {

using sonarch::testing::expectedSamples;
using sonarch::testing::ImageTrack;
using sonarch::testing::readWav;
using sonarch::testing::TempDir;
using sonarch::testing::writeCueBin;

const char* const kService = "org.mpris.MediaPlayer2.sonarch";
const char* const kPath = "/org/mpris/MediaPlayer2";
const char* const kPlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr int kWaitMs = 20000;
constexpr std::int32_t kStartVolume = 34000;  // the level of fresh settings

// The demo library's titles, from the track sheet it is made of.
QStringList demoTitles() {
    QFile sheet(DEMO_TRACKS);
    QStringList titles;
    if (sheet.open(QIODevice::ReadOnly)) {
        for (const QString& line : QString::fromUtf8(sheet.readAll()).split('\n')) {
            if (!line.trimmed().isEmpty()) {
                titles << line.section('\t', 0, 0);
            }
        }
    }
    return titles;
}

// A player's own folders: settings, and a private runtime folder for its lock and socket.
struct Home {
    Home() {
        QDir(dir.path()).mkpath("runtime");
        QFile::setPermissions(dir.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString settings() const { return dir.path(); }
    QString settingsFile() const { return dir.filePath("player.dat"); }
    QString wav() const { return dir.filePath("heard.wav"); }

    // The test's bus, another that is not there, or none at all.
    enum class Bus { Session, Absent, None };
    QProcessEnvironment environment(Bus bus) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
        env.remove("DISPLAY");
        if (bus == Bus::Absent) {
            env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.filePath("no-bus"));
        } else if (bus == Bus::None) {
            env.remove("DBUS_SESSION_BUS_ADDRESS");
        }
        return env;
    }

    QTemporaryDir dir;
};

std::unique_ptr<QProcess> startPlayer(const Home& home, Home::Bus bus, QStringList arguments,
                                      const QString& folder = {}) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(home.environment(bus));
    if (!folder.isEmpty()) {
        process->setWorkingDirectory(folder);
    }
    process->start(QVPLAYER, arguments);
    EXPECT_TRUE(process->waitForStarted(kWaitMs));
    return process;
}

// Ends a player a test left running, the normal way.
struct Stopper {
    explicit Stopper(QProcess& process) : m_process(process) {}
    ~Stopper() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(kWaitMs);
        }
    }
    QProcess& m_process;
};

QString playerctl(const QStringList& arguments) {
    QProcess process;
    process.start("playerctl", QStringList{"-p", "sonarch"} + arguments);
    process.waitForFinished(kWaitMs);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

bool onBus() {
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService);
}

QVariant property(const QString& interface, const QString& name) {
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kPath, "org.freedesktop.DBus.Properties", "Get");
    get << interface << name;
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, kWaitMs);
    return reply.arguments().isEmpty() ? QVariant()
                                       : reply.arguments().front().value<QDBusVariant>().variant();
}

QVariantMap asMap(const QVariant& value) {
    if (value.canConvert<QDBusArgument>()) {
        return qdbus_cast<QVariantMap>(value.value<QDBusArgument>());
    }
    return value.toMap();
}

// Whether the player has heard (written to its WAV file) the start of track 1 of the test
// image, at the volume of fresh settings.
bool heardImage(const QString& wav) {
    const auto samples = readWav(wav.toStdString()).samples;
    const auto first = expectedSamples(0, 588, kStartVolume);
    return std::search(samples.begin(), samples.end(), first.begin(), first.end()) != samples.end();
}

bool sessionBusMissing() {
    return !QDBusConnection::sessionBus().isConnected();
}

}  // namespace

// What the player tells the bus, as a desktop receives it.
class BusWatcher : public QObject {
    Q_OBJECT
public:
    BusWatcher() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.connect({}, kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged", this,
                    SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        bus.connect({}, kPath, kPlayerInterface, "Seeked", this, SLOT(seekedTo(qlonglong)));
    }
    std::vector<QVariantMap> changes;
    std::vector<qlonglong> seeks;

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList&) {
        if (interface == kPlayerInterface) {
            changes.push_back(changed);
        }
    }
    void seekedTo(qlonglong position) { seeks.push_back(position); }
};

namespace {

TEST(DesktopControl, PlayerctlDrivesTheRunningPlayer) {
    if (sessionBusMissing()) {
        GTEST_SKIP() << "no session bus: the test runs under dbus-run-session";
    }
    if (QStandardPaths::findExecutable("playerctl").isEmpty()) {
        GTEST_SKIP() << "playerctl is not installed (scripts/setup.sh installs it)";
    }
    const QStringList titles = demoTitles();
    ASSERT_GE(titles.size(), 2);
    Home home;
    BusWatcher watcher;
    auto player = startPlayer(home, Home::Bus::Session,
                              {"--drive", "demo", "--audio", "null", "--settings-dir",
                               home.settings(), "--library", DEMO_LIBRARY});
    Stopper stopper(*player);
    ASSERT_TRUE(QTest::qWaitFor(onBus, kWaitMs)) << "the player never took its bus name";
    EXPECT_EQ(property("org.mpris.MediaPlayer2", "Identity").toString(), "Sonarch CD Player");
    ASSERT_TRUE(QTest::qWaitFor([] { return playerctl({"status"}) == "Playing"; }, kWaitMs));
    EXPECT_EQ(playerctl({"metadata", "--format", "{{title}}"}), titles[0]);

    playerctl({"next"});
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::any_of(
                watcher.changes.begin(), watcher.changes.end(), [&](const QVariantMap& changed) {
                    return asMap(changed.value("Metadata"))["xesam:title"] == titles[1];
                });
        },
        kWaitMs))
        << "no PropertiesChanged with track 2's metadata";
    EXPECT_EQ(playerctl({"metadata", "--format", "{{title}}"}), titles[1]);
    EXPECT_EQ(playerctl({"metadata", "--format", "{{xesam:trackNumber}}"}), "2");
    EXPECT_EQ(
        std::count_if(watcher.changes.begin(), watcher.changes.end(),
                      [](const QVariantMap& changed) { return changed.contains("Metadata"); }),
        2)
        << "one change of the metadata for track 1 and one for track 2, however many polls";

    playerctl({"play-pause"});
    EXPECT_TRUE(QTest::qWaitFor([] { return playerctl({"status"}) == "Paused"; }, kWaitMs));
    playerctl({"play-pause"});
    EXPECT_TRUE(QTest::qWaitFor([] { return playerctl({"status"}) == "Playing"; }, kWaitMs));

    playerctl({"position", "30"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !watcher.seeks.empty(); }, kWaitMs)) << "no Seeked";
    EXPECT_NEAR(double(watcher.seeks.back()), 30e6, 1e6);
    EXPECT_NEAR(playerctl({"position"}).toDouble(), 30, 2);
    // A move meant for another track is ignored.
    QDBusMessage elsewhere =
        QDBusMessage::createMethodCall(kService, kPath, kPlayerInterface, "SetPosition");
    elsewhere << QVariant::fromValue(QDBusObjectPath("/org/sonarch/CDPlayer/List0/Track05"))
              << qlonglong(2'000'000);
    QDBusConnection::sessionBus().call(elsewhere, QDBus::Block, kWaitMs);
    EXPECT_GT(playerctl({"position"}).toDouble(), 29);
    // Offsets as far as they go: back to the track's start, and past its end to the next.
    auto seekBy = [](qlonglong offsetUs) {
        QDBusMessage seek =
            QDBusMessage::createMethodCall(kService, kPath, kPlayerInterface, "Seek");
        seek << offsetUs;
        return QDBusConnection::sessionBus().call(seek, QDBus::Block, kWaitMs).type();
    };
    EXPECT_EQ(seekBy(std::numeric_limits<qlonglong>::min()), QDBusMessage::ReplyMessage);
    EXPECT_LT(playerctl({"position"}).toDouble(), 2) << "at the start of track 2";
    EXPECT_EQ(seekBy(std::numeric_limits<qlonglong>::max()), QDBusMessage::ReplyMessage);
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return playerctl({"metadata", "--format", "{{xesam:trackNumber}}"}) == "3";
        },
        kWaitMs))
        << "not on to track 3";

    playerctl({"loop", "Playlist"});
    EXPECT_EQ(playerctl({"loop"}), "Playlist");
    playerctl({"volume", "0.5"});
    EXPECT_DOUBLE_EQ(playerctl({"volume"}).toDouble(), 0.5);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return std::any_of(
                watcher.changes.begin(), watcher.changes.end(),
                [](const QVariantMap& changed) { return changed.value("Volume") == 0.5; });
        },
        kWaitMs))
        << "the volume's change was not told";
    playerctl({"stop"});
    EXPECT_TRUE(QTest::qWaitFor([] { return playerctl({"status"}) == "Stopped"; }, kWaitMs));

    QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(kService, kPath, "org.mpris.MediaPlayer2", "Quit"),
        QDBus::Block, kWaitMs);
    ASSERT_TRUE(player->waitForFinished(kWaitMs));
    EXPECT_EQ(player->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player->exitCode(), 0);
    const QStringList saved = sonarch::testing::SettingsFileLines(home.settingsFile());
    ASSERT_EQ(saved.size(), 15) << "Quit ends through the normal shut-down";
    EXPECT_EQ(saved[2], "True") << "continuous play, set through LoopStatus";
    EXPECT_EQ(saved[11].trimmed(), "32500") << "the volume bar at half";
}

TEST(DesktopControl, ASecondStartHandsItsImageToTheRunningPlayer) {
    if (sessionBusMissing()) {
        GTEST_SKIP() << "no session bus: the test runs under dbus-run-session";
    }
    Home home;
    TempDir images;
    writeCueBin(images, {ImageTrack{750}, ImageTrack{600}, ImageTrack{450}}, "album");
    auto first = startPlayer(
        home, Home::Bus::Session,
        {"--drive", "demo", "--audio", "wav:" + home.wav(), "--settings-dir", home.settings()});
    Stopper stopper(*first);
    ASSERT_TRUE(QTest::qWaitFor(onBus, kWaitMs));

    // Named as a desktop names it, relative to the second start's own folder.
    const QString folder = QFileInfo(QString::fromStdString(images.file("album.cue"))).path();
    auto second = startPlayer(home, Home::Bus::Session, {"album.cue"}, folder);
    ASSERT_TRUE(second->waitForFinished(kWaitMs));
    EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().toStdString();

    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return asMap(property(kPlayerInterface, "Metadata")).value("mpris:length") ==
                   qlonglong(10e6);
        },
        kWaitMs))
        << "the image's first track (10 s) is not the current track";
    EXPECT_EQ(asMap(property(kPlayerInterface, "Metadata")).value("xesam:title"), "Track 01");
    EXPECT_TRUE(QTest::qWaitFor([&] { return heardImage(home.wav()); }, kWaitMs))
        << "the image was never heard";
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST(DesktopControl, WithoutABusASecondStartHandsItsImageOverTheSocket) {
    Home home;
    TempDir images;
    const std::string cue = writeCueBin(images, {ImageTrack{750}, ImageTrack{600}}, "album");
    auto first = startPlayer(
        home, Home::Bus::Absent,
        {"--drive", "demo", "--audio", "wav:" + home.wav(), "--settings-dir", home.settings()});
    Stopper stopper(*first);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(home.settingsFile()); }, kWaitMs));

    auto second =
        startPlayer(home, Home::Bus::Absent,
                    {"file://" + QString::fromStdString(cue).toUtf8().toPercentEncoding("/")});
    ASSERT_TRUE(second->waitForFinished(kWaitMs));
    EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return heardImage(home.wav()); }, kWaitMs))
        << "the image was never heard";
    if (!sessionBusMissing()) {
        EXPECT_FALSE(onBus()) << "the player had no bus to be on";
    }

    // A second start without a drive ends silently and changes nothing.
    auto third = startPlayer(home, Home::Bus::Absent, {"--audio", "null"});
    ASSERT_TRUE(third->waitForFinished(kWaitMs));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_TRUE(third->readAllStandardError().isEmpty());
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(kWaitMs));
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_EQ(sonarch::testing::SettingsFileLines(home.settingsFile()).size(), 15);
}

TEST(DesktopControl, WithNoSessionBusAtAllThePlayerRunsAsBefore) {
    Home home;
    auto player = startPlayer(home, Home::Bus::None,
                              {"--drive", "demo", "--audio", "null", "--settings-dir",
                               home.settings(), "--screenshot", home.dir.filePath("shot.png")});
    ASSERT_TRUE(player->waitForFinished(kWaitMs));
    EXPECT_EQ(player->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player->exitCode(), 0);
    const QString errors = QString::fromUtf8(player->readAllStandardError());
    EXPECT_FALSE(errors.contains("bus", Qt::CaseInsensitive)) << errors.toStdString();
    EXPECT_GT(QFileInfo(home.dir.filePath("shot.png")).size(), 0) << "the window was drawn";
    EXPECT_EQ(sonarch::testing::SettingsFileLines(home.settingsFile()).size(), 15);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "mpris_process_test.moc"
