// The transport commands, track selection and seeking: the exact command strings each sends.
#include <gtest/gtest.h>

#include "support/player_harness.h"

namespace sonarch {
namespace {

using testing::PlayerHarness;
using testing::tracksOf;
using Commands = std::vector<std::string>;

std::vector<VirtualTrack> sixTracks() {
    return tracksOf({"04:00:00", "03:00:00", "03:30:00", "02:40:00", "05:00:00", "03:20:00"});
}

// A player that has read its disc, with the command log emptied.
struct Playing : PlayerHarness {
    explicit Playing(std::vector<VirtualTrack> tracks = sixTracks())
        : PlayerHarness(std::move(tracks)) {
        start();
        tick();
        recorder.clear();
    }
    // The commands a gesture sent before the status poll it ran, if any.
    Commands gesture(const std::function<void()>& act) {
        recorder.clear();
        act();
        Commands sent = recorder.commands();
        const auto poll = std::find(sent.begin(), sent.end(), "status cd media present");
        return Commands(sent.begin(), poll);
    }
    // Puts the drive at a track and position and lets the poll see it.
    void cue(const std::string& tmsf, bool play) {
        device.send((play ? "play cd from " : "seek cd to ") + tmsf, 0);
        tick();
        recorder.clear();
    }
    void cueMilliseconds(int ms, bool play) {
        device.send("set cd time format milliseconds", 0);
        device.send((play ? "play cd from " : "seek cd to ") + std::to_string(ms), 0);
        device.send("set cd time format tmsf", 0);
        // A poll run without time passing: the flags follow the drive, the place stays.
        player->PollStatus();
        recorder.clear();
    }
    const PlayerState& state() { return player->state(); }
    PlayerWindowModel& window() { return *windowModel; }
};

TEST(Transport, NextOnTheLastTrackSendsOnlySeekToOne) {
    for (const bool playing : {true, false}) {
        Playing f;
        f.cue("6", playing);
        EXPECT_EQ(f.gesture([&] { f.player->next(); }), Commands{"seek cd to 1"}) << playing;
        EXPECT_TRUE(f.messages.shown().empty());
    }
}

TEST(Transport, NextMovesOnByPlayingOrSeeking) {
    Playing f;
    EXPECT_EQ(f.gesture([&] { f.player->next(); }), Commands{"play cd from 2"});
    f.tick();
    EXPECT_EQ(f.state().currentTrack, 2);
    f.player->stop();
    EXPECT_EQ(f.gesture([&] { f.player->next(); }), Commands{"seek cd to 3"});
}

TEST(Transport, PreviousWrapsAtTheStartAndRestartsOtherwise) {
    Playing f;
    f.cue("1", false);
    ASSERT_FALSE(f.state().playing);
    EXPECT_EQ(f.gesture([&] { f.player->previous(); }), Commands{"seek cd to 6"});
    f.cue("3:00:01:00", true);
    EXPECT_EQ(f.gesture([&] { f.player->previous(); }), Commands{"play cd from 3"});
    f.cue("3", true);
    EXPECT_EQ(f.state().positionSeconds, 0);
    EXPECT_EQ(f.gesture([&] { f.player->previous(); }), Commands{"play cd from 2"});
    f.cue("3", false);
    EXPECT_EQ(f.gesture([&] { f.player->previous(); }), Commands{"seek cd to 2"});
}

TEST(Transport, PauseWhileStoppedSendsNothing) {
    Playing f;
    f.player->stop();
    ASSERT_TRUE(f.state().stopped);
    EXPECT_EQ(f.gesture([&] { f.player->pause(); }), Commands{});
    EXPECT_TRUE(f.recorder.commands().empty()) << "not even a poll";
    EXPECT_TRUE(f.state().stopped);
    EXPECT_FALSE(f.state().paused);
}

TEST(Transport, PauseThenPlayResumes) {
    Playing f;
    f.tick(4);
    EXPECT_EQ(f.gesture([&] { f.player->pause(); }), Commands{"pause cd"});
    EXPECT_EQ(f.status(), "Paused . . .");
    EXPECT_FALSE(f.display().indicatorShown(Indicator::Stop));
    EXPECT_TRUE(f.display().indicatorShown(Indicator::Pause));
    f.tick(4);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:02");
    f.recorder.clear();
    f.player->play();
    EXPECT_EQ(f.recorder.commands(), Commands{"play cd"}) << "Play does not run the poll";
    f.tick(2);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:03");
    EXPECT_EQ(f.status(), "Playing . . .");
}

TEST(Transport, StopOnTrackFiveCuesItsStart) {
    Playing f;
    f.cue("5:01:00:00", true);
    EXPECT_EQ(f.gesture([&] { f.player->stop(); }), (Commands{"stop cd wait", "seek cd to 5"}));
    EXPECT_TRUE(f.state().stopped);
    EXPECT_EQ(f.status(), "Stopped . . .");
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:00");
    EXPECT_EQ(f.caption(Caption::Track), "Track 05 - [05:00]");
}

TEST(Transport, EjectTwiceOpensAndClosesTheDoor) {
    Playing f;
    std::string statusWhenClosing;
    WinColour numberWhenPolled = 0;
    bool doorClosed = false;
    f.recorder.observe([&](std::string_view command) {
        if (command == "set cd door closed") {
            statusWhenClosing = f.status();
            doorClosed = true;
        } else if (doorClosed && command == "status cd media present") {
            numberWhenPolled = f.display().trackNumberColour(0);  // before the disc is read
            doorClosed = false;
        }
    });
    const WinColour dimmed = 0xC0C0;  // no track
    EXPECT_EQ(f.gesture([&] { f.player->eject(); }), Commands{"set cd door open"});
    EXPECT_EQ(f.display().ejectCaption(), "Close");
    EXPECT_TRUE(f.player->trackList().empty());
    EXPECT_EQ(f.display().trackNumberColour(0), dimmed);
    EXPECT_EQ(f.status(), "Data or no disc loaded");
    EXPECT_FALSE(f.display().transportEnabled());

    const Commands closing = f.gesture([&] { f.player->eject(); });
    EXPECT_EQ(closing.front(), "set cd door closed");
    EXPECT_EQ(statusWhenClosing, "Loading, please wait . . .");
    EXPECT_EQ(numberWhenPolled, dimmed) << "dimmed the second time too";
    EXPECT_EQ(f.display().ejectCaption(), "Eject");
    EXPECT_EQ(f.player->trackList().count(), 6) << "the disc is read again";
    EXPECT_EQ(f.status(), "Playing . . .");
}

TEST(Transport, ATrayThatStaysShutChangesNothingButTheStatusLine) {
    Playing f;
    f.tick(4);
    // A physical drive's tray takes a moment, and another program may hold it shut.
    f.drive.delayEjects(true);
    EXPECT_EQ(f.gesture([&] { f.player->eject(); }), Commands{"set cd door open"});
    f.tick(2);
    EXPECT_EQ(f.status(), "Playing . . .") << "the disc plays on while the tray is asked";
    EXPECT_EQ(f.display().ejectCaption(), "Eject");
    EXPECT_EQ(f.player->trackList().count(), 6);
    f.drive.answerEject(false);
    f.tick();
    EXPECT_EQ(f.status(), "The drive did not open: another program may be using it.");
    EXPECT_EQ(f.display().ejectCaption(), "Eject");
    EXPECT_FALSE(f.state().doorOpen);
    EXPECT_EQ(f.player->trackList().count(), 6);
    EXPECT_TRUE(f.display().transportEnabled());
    EXPECT_EQ(f.player->playbackStatus(), PlaybackStatus::Playing);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:03") << "on from where it was";
    f.tick(10);
    EXPECT_EQ(f.status(), "Playing . . .");
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:08");

    // The next time the tray opens: the disc is gone only now.
    f.player->eject();
    EXPECT_EQ(f.player->trackList().count(), 6);
    f.drive.answerEject(true);
    f.tick();
    EXPECT_EQ(f.status(), "Data or no disc loaded");
    EXPECT_EQ(f.display().ejectCaption(), "Close");
    EXPECT_TRUE(f.player->trackList().empty());
}

TEST(TrackSelection, NumbersBeyondTheDiscDoNothing) {
    Playing f;
    const WinColour before = f.display().trackNumberColour(6);
    f.window().pressTrackNumber(6);
    EXPECT_EQ(f.display().trackNumberColour(6), before) << "no press feedback";
    f.window().clickTrackNumber(6);
    EXPECT_TRUE(f.recorder.commands().empty());

    f.window().pressTrackNumber(3);
    EXPECT_EQ(f.display().trackNumberColour(3), 0xFFFFFFu) << "white while pressed";
    f.window().clickTrackNumber(3);
    EXPECT_EQ(f.recorder.commands(), Commands{"play cd from 4"});
    f.tick();
    EXPECT_EQ(f.display().trackNumberColour(3), 0xFFFF00u) << "cyan: the current track";
}

TEST(TrackSelection, ASelectedRowWhileStoppedSeeksThenPlaysItsText) {
    Playing f;
    f.player->stop();
    f.window().noteSelectedRow(3);
    f.recorder.clear();
    f.window().playSelectedRow();
    EXPECT_EQ(f.recorder.commands(), (Commands{"seek cd to 03", "play cd from 03"}));
    f.tick();
    EXPECT_EQ(f.state().currentTrack, 3);
    EXPECT_EQ(f.status(), "Stopped . . .") << "the flags follow the drive a tick later";
    f.tick();
    EXPECT_EQ(f.status(), "Playing . . .");
    EXPECT_EQ(f.display().selectedRow(), 3);
}

TEST(Seeking, FastForwardWhilePlayingMovesTenSeconds) {
    Playing f;
    f.cueMilliseconds(125000, true);
    int seeks = 0;
    QObject::connect(f.player.get(), &Player::seeked, [&] { ++seeks; });
    EXPECT_EQ(f.gesture([&] { f.player->fastForward(); }),
              (Commands{"set cd time format milliseconds", "status cd position wait",
                        "play cd from 135000", "set cd time format tmsf"}));
    EXPECT_EQ(f.state().currentTrack, 1);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "02:15");
    EXPECT_EQ(seeks, 1);
}

TEST(Seeking, RewindWhileStoppedSendsTheUncheckedTarget) {
    Playing f;
    f.cueMilliseconds(4000, false);
    ASSERT_FALSE(f.state().playing);
    EXPECT_EQ(f.gesture([&] { f.player->rewind(); }),
              (Commands{"set cd time format milliseconds", "status cd position wait",
                        "seek cd to -6000", "set cd time format tmsf"}));
    EXPECT_TRUE(f.messages.shown().empty());
    EXPECT_EQ(f.device.send("status cd time format", 30).reply, "tmsf");
}

TEST(Seeking, WithNoDiscOnlyTheTimeFormatIsPutBack) {
    Playing f;
    f.drive.remove();
    EXPECT_EQ(f.gesture([&] { f.player->fastForward(); }),
              (Commands{"set cd time format milliseconds", "status cd position wait",
                        "set cd time format tmsf"}));
    EXPECT_EQ(f.device.send("status cd time format", 30).reply, "tmsf");
}

TEST(Seeking, AHugeStepCannotOverflow) {
    Playing f;
    f.player->setSeekStep(2147483647);
    f.cueMilliseconds(1000, true);
    const Commands sent = f.gesture([&] { f.player->rewind(); });
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], "play cd from -999999000");
}

TEST(Seeking, AClickOnTheBarJumpsToThatPointOfTheTrack) {
    Playing f(tracksOf({"04:00:00", "03:00:00", "05:00:00"}));
    f.cue("2", true);
    EXPECT_EQ(f.gesture([&] { f.window().clickOnBar(0.5); }),
              (Commands{"set cd time format milliseconds", "play cd from 330000",
                        "set cd time format tmsf"}));
    EXPECT_EQ(f.caption(Caption::TimeWindow), "01:30");
}

TEST(Seeking, TheBarTellsWhereAClickWouldGo) {
    PlayerHarness f(tracksOf({"04:00:00", "03:00:00"}));
    f.start();
    PlayerWindowModel& player = *f.windowModel;
    EXPECT_FALSE(player.canSeekOnBar()) << "no disc read yet";
    EXPECT_FALSE(player.seekTooltip(0.25));
    f.tick();
    EXPECT_TRUE(player.canSeekOnBar());
    EXPECT_EQ(player.seekTooltip(0.25), "Seek to: 25% - [01:00]");
    EXPECT_EQ(player.seekTooltip(0), "Seek to: 00% - [00:00]");
    player.dragOnBar(0.5);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "02:00");
    EXPECT_EQ(f.display().progressPercent(), 50);
}

TEST(Volume, ButtonsAndBarSetTheMixerWithTheDesignedClamping) {
    PlayerHarness f(sixTracks());
    Player& session = f.start();
    PlayerWindowModel& player = *f.windowModel;
    const Settings& settings = session.settings();
    EXPECT_EQ(f.output.volume(), 34000);
    player.setVolumeFromBar(50);
    EXPECT_EQ(settings.volumeLevel, 32500);
    EXPECT_EQ(f.output.volume(), 32500);
    EXPECT_NEAR(player.volumePercent(), 50, 1);
    player.setVolumeFromBar(50);  // the bar drawn half full
    player.volumeUp();
    EXPECT_EQ(settings.volumeLevel, 35500);
    EXPECT_NEAR(player.volumePercent(), 54.6, 0.1);
    player.setVolumeFromBar(3);  // 97 % drawn
    player.volumeUp();
    EXPECT_EQ(settings.volumeLevel, 65000);
    EXPECT_EQ(player.volumePercent(), 100);
    player.setVolumeFromBar(98);  // 2 % drawn
    player.volumeDown();
    EXPECT_EQ(settings.volumeLevel, 0);
    player.setVolumeFromBar(120);
    EXPECT_EQ(settings.volumeLevel, 650);
    EXPECT_EQ(f.output.volume(), 650);
    session.shutDown({});
    EXPECT_EQ(f.savedSettings->volumeLevel, 650) << "the level survives in the settings";
}

}  // namespace
}  // namespace sonarch
