// The library window's link to the running player, on a private session bus (the test
// runs under dbus-run-session): the real qvplayer, the library written by qvlib as the
// library window writes it, and the link telling the player.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <memory>

#include "librarian/player_settings_link.h"

namespace sonarch {
namespace {

constexpr int kWaitMs = 20000;
const std::string kDrive = "virtual:03:00:00,04:00:00,02:30:05";

struct Finished {
    int exitCode = -1;
    std::string out;
    std::string err;
};

Finished run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    Finished result;
    if (!process.waitForFinished(kWaitMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

Finished qvlib(const QStringList& arguments) {
    return run(QVLIB, arguments);
}

// The title of the player's current track, as desktops read it.
QString playerTitle() {
    QDBusMessage get =
        QDBusMessage::createMethodCall("org.mpris.MediaPlayer2.sonarch", "/org/mpris/MediaPlayer2",
                                       "org.freedesktop.DBus.Properties", "Get");
    get << QString("org.mpris.MediaPlayer2.Player") << QString("Metadata");
    const QDBusMessage reply = QDBusConnection::sessionBus().call(get, QDBus::Block, kWaitMs);
    if (reply.arguments().isEmpty()) {
        return {};
    }
    const QVariant value = reply.arguments()[0].value<QDBusVariant>().variant();
    QVariantMap metadata;
    value.value<QDBusArgument>() >> metadata;
    return metadata.value("xesam:title").toString();
}

struct PlayerLinkTest : ::testing::Test {
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus (the test runs under dbus-run-session)";
        }
        QDir(home.path()).mkpath("runtime");
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_EQ(qvlib({"create", first}).exitCode, 0);
        ASSERT_EQ(qvlib({"create", second}).exitCode, 0);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.remove("DISPLAY");
        player.setProcessEnvironment(env);
        player.start(QVPLAYER, {"--drive", QString::fromStdString(kDrive), "--library", first,
                                "--audio", "null", "--settings-dir", home.path()});
        ASSERT_TRUE(player.waitForStarted(kWaitMs));
        ASSERT_TRUE(QTest::qWaitFor([] { return playerTitle() == "Track 01"; }, kWaitMs))
            << playerTitle().toStdString();
    }
    void TearDown() override {
        if (player.state() != QProcess::NotRunning) {
            player.terminate();
            player.waitForFinished(kWaitMs);
        }
    }
    // Adds the disc with titles PREFIX 1..3, as the library window would save it.
    void addDisc(const QString& library, const QString& prefix) {
        const QString sheet = home.filePath(prefix + ".tsv");
        std::ofstream(sheet.toStdString()) << prefix.toStdString() << " 1\tBand\n"
                                           << prefix.toStdString() << " 2\tBand\n"
                                           << prefix.toStdString() << " 3\tBand\n";
        const Finished added =
            qvlib({"add", library, "--drive", QString::fromStdString(kDrive), "--tracks", sheet});
        ASSERT_EQ(added.exitCode, 0) << added.err;
    }
    std::string key() {
        const Finished found = qvlib({"key", "--drive", QString::fromStdString(kDrive)});
        EXPECT_EQ(found.exitCode, 0) << found.err;
        return QString::fromStdString(found.out).trimmed().toStdString();
    }

    QTemporaryDir home;
    QString first = home.filePath("first.dbd");
    QString second = home.filePath("second.dbd");
    QProcess player;
    PlayerSettingsLink link{home.path().toStdString(), QDBusConnection::sessionBus()};
};

TEST_F(PlayerLinkTest, TheRunningPlayerLooksTheDiscUpAgainWhenItsRowsAreSaved) {
    EXPECT_EQ(link.playerLibrary(), first.toStdString());
    addDisc(first, "Alpha");
    EXPECT_EQ(playerTitle(), "Track 01") << "not told yet";
    link.discChanged(first.toStdString(), key());
    EXPECT_TRUE(QTest::qWaitFor([] { return playerTitle() == "Alpha 1"; }, kWaitMs))
        << playerTitle().toStdString();
}

TEST_F(PlayerLinkTest, ALibraryChosenInTheLibraryWindowIsTheRunningPlayersAtOnceAndAfter) {
    addDisc(second, "Beta");
    const auto used = link.useLibrary(second.toStdString());
    ASSERT_TRUE(used.ok()) << used.error();
    EXPECT_TRUE(QTest::qWaitFor([] { return playerTitle() == "Beta 1"; }, kWaitMs))
        << playerTitle().toStdString();
    EXPECT_EQ(link.playerLibrary(), second.toStdString());
    player.terminate();
    ASSERT_TRUE(player.waitForFinished(kWaitMs));
    QFile settings(home.filePath("player.dat"));
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.readLine().trimmed(), second.toUtf8()) << "kept when the player closes";
}

}  // namespace
}  // namespace sonarch

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
