// Later starts of qvplayer while one runs (a disc handed over, the desktop entry's actions,
// a start with nothing to hand over) and starts after one ended (the last drive again),
// with real processes on a private session bus.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>

#include "desktop/drive_handoff.h"
#include "desktop/player_bus.h"
#include "support/disc_images.h"
#include "support/player_process.h"
#include "support/settings_lines.h"

namespace sonarch::testing {
namespace {

using Bus = PlayerHome::Bus;

constexpr qlonglong kDemoFirstTrackUs = 192'000'000;  // the demo disc's 03:12:40, whole seconds
constexpr qlonglong kImageFirstTrackUs = 10'000'000;  // 750 sectors, not the last track

qlonglong currentLength() {
    return mprisMetadata().value("mpris:length").toLongLong();
}

int currentTrack() {
    return mprisMetadata().value("xesam:trackNumber").toInt();
}

QString status() {
    return mprisProperty("PlaybackStatus").toString();
}

// A player on the demo disc, on the bus and playing.
std::unique_ptr<QProcess> startDemoPlayer(const PlayerHome& home) {
    auto player = startPlayerProcess(
        home, Bus::Session,
        {"--drive", "demo", "--audio", "null", "--settings-dir", home.settings()});
    EXPECT_TRUE(
        QTest::qWaitFor([] { return playerOnBus() && status() == "Playing"; }, kProcessWaitMs));
    return player;
}

// What the player's own bus object answers a later start's request.
std::pair<bool, QString> askOnBus(const QString& word, const QString& drive, std::int64_t startBy) {
    QDBusMessage call = QDBusMessage::createMethodCall(kPlayerBusName, kPlayerObjectPath,
                                                       kPlayerInterface, "Request");
    call << word << QFile::encodeName(drive) << qlonglong(startBy);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 20000);
    if (reply.arguments().size() != 2) {
        return {false, "no answer: " + reply.errorMessage()};
    }
    return {reply.arguments()[0].toBool(), reply.arguments()[1].toString()};
}

class LaterStart : public ::testing::Test {
protected:
    void SetUp() override {
        if (sessionBusMissing()) {
            GTEST_SKIP() << "no session bus: the test runs under dbus-run-session";
        }
    }
};

TEST_F(LaterStart, ADriveTheRunningPlayerCannotOpenEndsTheStartWithOneAndTheReason) {
    PlayerHome home;
    auto first = startDemoPlayer(home);
    ProcessStopper stopper(*first);
    const QString missing = home.file("gone/album.cue");

    // Over the bus, and over the socket from a start that has no bus.
    for (const Bus bus : {Bus::Session, Bus::Absent}) {
        const Finished second = runPlayerProcess(home, bus, {missing});
        EXPECT_EQ(second.exitCode, 1) << second.errors.toStdString();
        EXPECT_TRUE(second.errors.contains("did not open '" + missing + "'"))
            << second.errors.toStdString();
        EXPECT_TRUE(second.errors.contains("There is no CD drive or disc image"))
            << second.errors.toStdString();
    }
    EXPECT_EQ(status(), "Playing") << "the running player's disc plays on";
    EXPECT_EQ(currentLength(), kDemoFirstTrackUs);
}

TEST_F(LaterStart, ARequestThePlayerComesToAfterItsSenderGaveUpIsNotCarriedOut) {
    PlayerHome home;
    TempDir images;
    const QString cue =
        QString::fromStdString(writeCueBin(images, {ImageTrack{750}, ImageTrack{600}}, "album"));
    auto first = startDemoPlayer(home);
    ProcessStopper stopper(*first);

    const auto [late, why] = askOnBus("open", cue, MonotonicMs() - 1);
    EXPECT_FALSE(late);
    EXPECT_TRUE(why.contains("nothing was done")) << why.toStdString();
    EXPECT_EQ(currentLength(), kDemoFirstTrackUs) << "the image was not opened";

    const auto [inTime, problem] = askOnBus("open", cue, MonotonicMs() + 10000);
    EXPECT_TRUE(inTime) << problem.toStdString();
    EXPECT_TRUE(
        QTest::qWaitFor([] { return currentLength() == kImageFirstTrackUs; }, kProcessWaitMs));
}

TEST_F(LaterStart, TheDesktopEntrysActionsReachTheRunningPlayerByEitherWay) {
    PlayerHome home;
    auto first = startDemoPlayer(home);
    ProcessStopper stopper(*first);
    ASSERT_EQ(currentTrack(), 1);

    const Finished next = runPlayerProcess(home, Bus::Session, {"--next"});
    EXPECT_EQ(next.exitCode, 0) << next.errors.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([] { return currentTrack() == 2; }, kProcessWaitMs));
    // Past the track's first second, Previous starts the track again.
    qlonglong before = 0;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return (before = mprisProperty("Position").toLongLong()) >= 2'000'000; },
        kProcessWaitMs));
    const Finished previous = runPlayerProcess(home, Bus::Absent, {"--previous"});
    EXPECT_EQ(previous.exitCode, 0) << previous.errors.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return mprisProperty("Position").toLongLong() < before; },
                                kProcessWaitMs));
    const Finished pause = runPlayerProcess(home, Bus::Absent, {"--play-pause"});
    EXPECT_EQ(pause.exitCode, 0) << pause.errors.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([] { return status() == "Paused"; }, kProcessWaitMs));
    const Finished play = runPlayerProcess(home, Bus::Session, {"--play-pause"});
    EXPECT_EQ(play.exitCode, 0) << play.errors.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([] { return status() == "Playing"; }, kProcessWaitMs));
    const Finished stop = runPlayerProcess(home, Bus::Session, {"--stop"});
    EXPECT_EQ(stop.exitCode, 0) << stop.errors.toStdString();
    EXPECT_TRUE(QTest::qWaitFor([] { return status() == "Stopped"; }, kProcessWaitMs));
    EXPECT_EQ(first->state(), QProcess::Running);
}

TEST_F(LaterStart, WithNoPlayerRunningOnlyPlayPauseStartsOneAndItPlaysTheLastDisc) {
    PlayerHome home;
    for (const char* command : {"--next", "--previous", "--stop"}) {
        const Finished alone = runPlayerProcess(home, Bus::Session, {command});
        EXPECT_EQ(alone.exitCode, 1) << command;
        EXPECT_EQ(alone.errors.trimmed(), "qvplayer: no player is running") << command;
    }
    EXPECT_FALSE(playerOnBus());
    EXPECT_FALSE(QFile::exists(home.file("player.dat"))) << "nothing was started";

    // The demo disc was the last one played here.
    QFile state(home.file("player-state.txt"));
    ASSERT_TRUE(state.open(QIODevice::WriteOnly));
    state.write("drive=demo\n");
    state.close();
    auto player = startPlayerProcess(
        home, Bus::Session, {"--play-pause", "--audio", "null", "--settings-dir", home.settings()});
    ProcessStopper stopper(*player);
    EXPECT_TRUE(
        QTest::qWaitFor([] { return playerOnBus() && status() == "Playing"; }, kProcessWaitMs));
    EXPECT_EQ(currentLength(), kDemoFirstTrackUs);
    EXPECT_TRUE(quitPlayer(*player));
}

TEST_F(LaterStart, AStartWithoutADriveOpensTheLastImageWhileItIsThere) {
    PlayerHome home;
    TempDir images;
    const QString cue = QString::fromStdString(
        writeCueBin(images, {ImageTrack{750}, ImageTrack{600}}, "m\xc3\xa9lodie"));
    const QStringList quiet{"--audio", "null", "--settings-dir", home.settings()};

    auto first = startPlayerProcess(home, Bus::Session, QStringList{cue} + quiet);
    ASSERT_TRUE(QTest::qWaitFor(
        [] { return playerOnBus() && currentLength() == kImageFirstTrackUs; }, kProcessWaitMs));
    ASSERT_TRUE(quitPlayer(*first));
    EXPECT_EQ(SettingsFileLines(home.file("player.dat")).size(), 15) << "player.dat as ever";

    auto again = startPlayerProcess(home, Bus::Session, quiet);
    EXPECT_TRUE(QTest::qWaitFor(
        [] { return playerOnBus() && currentLength() == kImageFirstTrackUs; }, kProcessWaitMs))
        << "the last image is open again";
    ASSERT_TRUE(quitPlayer(*again));

    // Gone: the start takes the system's default drive (none in a test machine) instead.
    ASSERT_TRUE(QFile::remove(cue));
    auto gone = startPlayerProcess(home, Bus::Session, quiet);
    ProcessStopper stopper(*gone);
    ASSERT_TRUE(QTest::qWaitFor(playerOnBus, kProcessWaitMs));
    EXPECT_TRUE(quitPlayer(*gone));
    const QString errors = QString::fromUtf8(gone->readAllStandardError());
    EXPECT_FALSE(errors.contains("lodie"))
        << "the gone image was not tried: " << errors.toStdString();
}

}  // namespace
}  // namespace sonarch::testing

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
