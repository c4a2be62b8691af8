// What desktops and a second start ask of the running session: other drives opened while
// it plays, the transport state, and moves to a time in the track.
#include <gtest/gtest.h>

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "support/disc_images.h"
#include "support/library_player.h"
#include "support/player_harness.h"

namespace sonarch {
namespace {

using testing::PlayerHarness;
using testing::tracksOf;

std::vector<VirtualTrack> fourTracks() {
    return tracksOf({"03:00:40", "02:00:00", "02:30:00", "04:00:00"});
}

std::ptrdiff_t indexOf(const std::vector<std::string>& sent, const std::string& command) {
    const auto found = std::find(sent.begin(), sent.end(), command);
    return found == sent.end() ? -1 : found - sent.begin();
}

TEST(DesktopSession, AnotherDriveIsReadLookedUpAndPlayedAtOnce) {
    PlayerHarness f(fourTracks());
    Player& player = f.start();
    f.tick();
    player.next();
    ASSERT_EQ(player.state().currentTrack, 2);

    const std::size_t from = f.recorder.commands().size();
    ASSERT_TRUE(player.openDrive("virtual:01:00:00,02:00:00,03:00:00"));
    f.waitForOpenedDrive();
    const auto sent = f.sentSince(from);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "stop cd") << "the old disc stops first";
    const auto read = indexOf(sent, "status cd number of tracks wait");
    const auto seek = indexOf(sent, "seek cd to 1");
    const auto play = indexOf(sent, "play cd");
    EXPECT_TRUE(read > 0 && seek > read && play > seek) << "read, then played from track 1";
    EXPECT_EQ(player.state().trackCount, 3);
    ASSERT_EQ(player.trackList().count(), 3);
    EXPECT_EQ(player.trackList().row(3)->title, "Track 03") << "none of the old disc's rows";
    EXPECT_EQ(player.state().currentTrack, 1);
    EXPECT_EQ(player.playbackStatus(), PlaybackStatus::Playing);
    f.tick();
    EXPECT_EQ(f.status(), "Playing . . .");

    // A disc image, opened the same way and read through its own files.
    testing::TempDir dir;
    const std::string cue = testing::writeCueBin(dir, {{300}, {450}, {600}, {750}, {900}});
    ASSERT_TRUE(player.openDrive(cue));
    f.waitForOpenedDrive();
    EXPECT_EQ(player.state().trackCount, 5);
    EXPECT_EQ(player.state().trackLengths[3], "00:10");
}

TEST(DesktopSession, ADriveThatCannotBeOpenedLeavesTheDiscPlaying) {
    PlayerHarness f(fourTracks());
    Player& player = f.start();
    f.tick();
    const std::size_t from = f.recorder.commands().size();
    EXPECT_TRUE(player.openDrive("/nowhere/album.cue"));
    f.waitForOpenedDrive();
    EXPECT_TRUE(f.sentSince(from).empty()) << "the device is not touched";
    EXPECT_NE(f.status().find("/nowhere/album.cue"), std::string::npos) << f.status();
    f.tick(3);
    EXPECT_NE(f.status().find("/nowhere/album.cue"), std::string::npos) << "held a while";
    EXPECT_EQ(player.state().trackCount, 4);
    EXPECT_EQ(player.playbackStatus(), PlaybackStatus::Playing);
    f.tick(10);
    EXPECT_EQ(f.status(), "Playing . . .") << "then it gives way";
}

TEST(DesktopSession, WithoutADriveTheReasonStaysUntilADiscIsOpened) {
    PlayerHarness f({});
    Player& player = f.start();
    player.showDriveProblem("No CD drive was found on this computer.");
    f.tick(40);
    EXPECT_EQ(f.status(), "No CD drive was found on this computer.");
    EXPECT_FALSE(player.display().transportEnabled());
    EXPECT_EQ(player.playbackStatus(), PlaybackStatus::Stopped);
    ASSERT_TRUE(player.openDrive("demo"));
    f.waitForOpenedDrive();
    EXPECT_EQ(player.state().trackCount, 12);
    f.tick();
    EXPECT_EQ(f.status(), "Playing . . .");
}

TEST(DesktopSession, TheSoundStoppingHoldsTheLineUntilItFlowsAgain) {
    const std::string stopped = "The sound stopped: the sound server went away.";
    PlayerHarness f(fourTracks());
    Player& player = f.start();
    f.tick();
    player.showSoundTrouble(SoundTrouble::ServerGone);
    f.tick(20);
    EXPECT_EQ(f.status(), stopped);
    EXPECT_EQ(player.playbackStatus(), PlaybackStatus::Playing) << "the disc still plays";
    player.showSoundTrouble(SoundTrouble::None);
    f.tick();
    EXPECT_EQ(f.status(), "Playing . . .");

    // What was said since is not taken back when the sound returns.
    player.showSoundTrouble(SoundTrouble::ServerGone);
    player.openDrive("/nowhere/album.cue");
    f.waitForOpenedDrive();
    player.showSoundTrouble(SoundTrouble::None);
    f.tick();
    EXPECT_NE(f.status().find("/nowhere/album.cue"), std::string::npos) << f.status();
}

TEST(DesktopSession, ADriveOpenedDuringALookupWaitsForItsEnd) {
    testing::LibraryPlayer<PlayerHarness> f;
    f.storeDisc({1, 2, 3});
    Player& player = f.start();
    // The disc key lets events run; one of them opens another drive.
    bool busyAtStop = true;
    f.recorder.observe([&](std::string_view command) {
        if (command == "stop cd") {
            busyAtStop = player.busy();
        }
    });
    bool opened = false;
    QTimer::singleShot(0, [&] { opened = player.openDrive("virtual:01:00:00,02:00:00"); });
    f.tick();
    ASSERT_TRUE(opened) << "the lookup let no events run";
    f.waitForOpenedDrive();
    EXPECT_FALSE(busyAtStop) << "the drive changed under the lookup";
    EXPECT_EQ(player.state().trackCount, 2);
    ASSERT_EQ(player.trackList().count(), 2);
    EXPECT_EQ(player.trackList().row(1)->title, "Track 01") << "the new disc was looked up";
}

TEST(DesktopSession, ASlowImageNeverHoldsTheWindowAndTheNewestAskedForWins) {
    PlayerHarness f(fourTracks());
    // Opens that wait at a gate, as the open of a hostile image waited on a pipe; the gate
    // gives way after a while by itself, so that an open on the window's thread ends too.
    std::mutex mutex;
    std::condition_variable gate;
    bool open = false;
    std::vector<std::string> done;
    f.openNamedDrive = [&](const std::string& name) {
        std::unique_lock lock(mutex);
        gate.wait_for(lock, std::chrono::seconds(10), [&] { return open; });
        done.push_back(name);
        return openDrive(name);
    };
    Player& player = f.start();
    f.tick();
    ASSERT_TRUE(player.openDrive("virtual:01:00:00"));
    ASSERT_TRUE(player.openDrive("virtual:01:00:00,02:00:00"));
    {
        std::lock_guard lock(mutex);
        EXPECT_TRUE(done.empty()) << "the window waited for an open";
    }
    f.tick(2);
    EXPECT_EQ(player.state().trackCount, 4) << "the disc plays on meanwhile";
    EXPECT_EQ(f.status(), "Playing . . .");
    {
        std::lock_guard lock(mutex);
        open = true;
    }
    gate.notify_all();
    f.waitForOpenedDrive();
    EXPECT_EQ(player.state().trackCount, 2) << "the newest drive asked for";
}

TEST(DesktopSession, PlaybackStatusFollowsTheTransportAndIsToldOncePerChange) {
    PlayerHarness f(fourTracks());
    Player& player = f.start();
    std::vector<PlaybackStatus> told;
    QObject::connect(&player, &Player::playbackStatusChanged,
                     [&](PlaybackStatus status) { told.push_back(status); });
    f.tick(3);
    player.pause();
    f.tick();
    player.play();
    player.stop();
    f.tick();
    player.eject();
    f.tick();
    using S = PlaybackStatus;
    EXPECT_EQ(told, (std::vector<S>{S::Playing, S::Paused, S::Playing, S::Stopped}));
    EXPECT_EQ(player.playbackStatus(), S::Stopped) << "no disc";
}

TEST(DesktopSession, AMoveInTheTrackStartsFromWhereTheDeviceHasTheTrack) {
    PlayerHarness f(fourTracks());
    Player& player = f.start();
    int seeks = 0;
    QObject::connect(&player, &Player::seeked, [&] { ++seeks; });
    f.tick();
    player.playTrack(2);
    f.tick();
    const std::size_t from = f.recorder.commands().size();
    player.seekInTrack(30000);
    // Track 2 starts 3:00 and 40 frames into the disc; the lengths say only 3:00.
    const std::int64_t trackStart = (3 * 60 * 75 + 40) * 1000 / 75;
    const auto sent = f.sentSince(from);
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(sent[0], "set cd time format milliseconds");
    EXPECT_EQ(sent[1], "status cd position track 2");
    EXPECT_EQ(sent[2], "play cd from " + std::to_string(trackStart + 30000));
    EXPECT_EQ(sent[3], "set cd time format tmsf");
    EXPECT_EQ(seeks, 1);
    const auto position = player.trackPositionMs();
    ASSERT_TRUE(position);
    EXPECT_NEAR(double(*position), 30000, 1000 / 75.0 + 1);
    EXPECT_EQ(player.state().currentTrack, 2);

    player.seekInTrack(0);
    EXPECT_EQ(player.state().currentTrack, 2) << "its start, not the end of track 1";
    EXPECT_EQ(player.trackPositionMs(), 0);
}

}  // namespace
}  // namespace sonarch
