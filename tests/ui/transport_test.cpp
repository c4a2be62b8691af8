#include <gtest/gtest.h>

#include <QAction>
#include <QTest>
#include <QTreeWidget>

#include "player_fixture.h"
#include "ui/skin_label.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;
using Commands = std::vector<std::string>;

std::vector<VirtualTrack> sixTracks() {
    return tracksOf({"04:00:00", "03:00:00", "03:30:00", "02:40:00", "05:00:00", "03:20:00"});
}

// A player that has read its disc, with the command log emptied.
struct Playing : PlayerFixture {
    explicit Playing(std::vector<VirtualTrack> tracks = sixTracks())
        : PlayerFixture(std::move(tracks)) {
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
        player->state().playing = play;
        player->state().stopped = !play;
        recorder.clear();
    }
};

TEST(Transport, NextOnTheLastTrackSendsOnlySeekToOne) {
    for (const bool playing : {true, false}) {
        Playing f;
        f.cue("6", playing);
        EXPECT_EQ(f.gesture([&] { f.click("ftrack"); }), Commands{"seek cd to 1"}) << playing;
        EXPECT_TRUE(f.messages.shown().empty());
    }
}

TEST(Transport, NextMovesOnByPlayingOrSeeking) {
    Playing f;
    EXPECT_EQ(f.gesture([&] { f.click("ftrack"); }), Commands{"play cd from 2"});
    f.tick();
    EXPECT_EQ(f.player->state().currentTrack, 2);
    f.click("stopbtn");
    EXPECT_EQ(f.gesture([&] { f.click("ftrack"); }), Commands{"seek cd to 3"});
}

TEST(Transport, PreviousWrapsAtTheStartAndRestartsOtherwise) {
    Playing f;
    f.cue("1", false);
    f.player->state().playing = false;
    EXPECT_EQ(f.gesture([&] { f.click("btrack"); }), Commands{"seek cd to 6"});
    f.cue("3:00:01:00", true);
    EXPECT_EQ(f.gesture([&] { f.click("btrack"); }), Commands{"play cd from 3"});
    f.cue("3", true);
    EXPECT_EQ(f.player->state().positionSeconds, 0);
    EXPECT_EQ(f.gesture([&] { f.click("btrack"); }), Commands{"play cd from 2"});
    f.cue("3", false);
    EXPECT_EQ(f.gesture([&] { f.click("btrack"); }), Commands{"seek cd to 2"});
}

TEST(Transport, PauseWhileStoppedSendsNothing) {
    Playing f;
    f.click("stopbtn");
    ASSERT_TRUE(f.player->state().stopped);
    EXPECT_EQ(f.gesture([&] { f.click("pause"); }), Commands{});
    EXPECT_TRUE(f.recorder.commands().empty()) << "not even a poll";
    EXPECT_TRUE(f.player->state().stopped);
    EXPECT_FALSE(f.player->state().paused);
}

TEST(Transport, PauseThenPlayResumes) {
    Playing f;
    f.tick(4);
    EXPECT_EQ(f.gesture([&] { f.click("pause"); }), Commands{"pause cd"});
    EXPECT_EQ(f.caption("Info"), "Paused . . .");
    EXPECT_FALSE(f.shown("picStop"));
    EXPECT_TRUE(f.shown("picPause"));
    f.tick(4);
    EXPECT_EQ(f.caption("timeWindow"), "00:02");
    f.recorder.clear();
    f.click("play");
    EXPECT_EQ(f.recorder.commands(), Commands{"play cd"}) << "Play does not run the poll";
    f.tick(2);
    EXPECT_EQ(f.caption("timeWindow"), "00:03");
    EXPECT_EQ(f.caption("Info"), "Playing . . .");
}

TEST(Transport, StopOnTrackFiveCuesItsStart) {
    Playing f;
    f.cue("5:01:00:00", true);
    EXPECT_EQ(f.gesture([&] { f.click("stopbtn"); }), (Commands{"stop cd wait", "seek cd to 5"}));
    EXPECT_TRUE(f.player->state().stopped);
    EXPECT_EQ(f.caption("Info"), "Stopped . . .");
    EXPECT_EQ(f.caption("timeWindow"), "00:00");
    EXPECT_EQ(f.caption("lTrack"), "Track 05 - [05:00]");
}

TEST(Transport, EjectTwiceOpensAndClosesTheDoor) {
    Playing f;
    QString infoWhenClosing;
    QColor labelWhenPolled;
    bool doorClosed = false;
    f.recorder.observe([&](std::string_view command) {
        if (command == "set cd door closed") {
            infoWhenClosing = f.caption("Info");
            doorClosed = true;
        } else if (doorClosed && command == "status cd media present") {
            labelWhenPolled = f.textColour("N0");  // before the poll reads the disc again
            doorClosed = false;
        }
    });
    EXPECT_EQ(f.gesture([&] { f.click("eject"); }), Commands{"set cd door open"});
    auto* menuItem = f.player->findChild<QAction*>("mnuEject");
    EXPECT_EQ(menuItem->text(), "Close");
    EXPECT_EQ(f.list()->topLevelItemCount(), 0);
    EXPECT_EQ(f.textColour("N0"), QColor(0xC0, 0xC0, 0));
    EXPECT_EQ(f.caption("Info"), "Data or no disc loaded");
    EXPECT_FALSE(f.control<QWidget>("play")->isEnabled());
    EXPECT_TRUE(f.control<QWidget>("eject")->isEnabled());

    const Commands closing = f.gesture([&] { f.click("eject"); });
    EXPECT_EQ(closing.front(), "set cd door closed");
    EXPECT_EQ(infoWhenClosing, "Loading, please wait . . .");
    EXPECT_EQ(labelWhenPolled, QColor(0xC0, 0xC0, 0)) << "dimmed the second time too";
    EXPECT_EQ(menuItem->text(), "Eject");
    EXPECT_EQ(f.list()->topLevelItemCount(), 6) << "the disc is read again";
    EXPECT_EQ(f.caption("Info"), "Playing . . .");
}

TEST(TrackSelection, LabelsBeyondTheDiscDoNothing) {
    Playing f;
    QTest::mousePress(f.control<QWidget>("N6"), Qt::LeftButton);
    EXPECT_EQ(f.textColour("N6"), QColor(0xC0, 0xC0, 0)) << "no press feedback";
    QTest::mouseRelease(f.control<QWidget>("N6"), Qt::LeftButton);
    EXPECT_TRUE(f.recorder.commands().empty());

    QTest::mousePress(f.control<QWidget>("N3"), Qt::LeftButton);
    EXPECT_EQ(f.textColour("N3"), QColor(255, 255, 255));
    QTest::mouseRelease(f.control<QWidget>("N3"), Qt::LeftButton);
    EXPECT_EQ(f.recorder.commands(), Commands{"play cd from 4"});
    f.tick();
    EXPECT_EQ(f.textColour("N3"), QColor(0, 255, 255));
}

TEST(TrackSelection, AListRowWhileStoppedSeeksThenPlaysItsText) {
    Playing f;
    f.click("stopbtn");
    QTreeWidget* list = f.list();
    list->setCurrentItem(list->topLevelItem(2));
    f.recorder.clear();
    emit list->itemDoubleClicked(list->topLevelItem(2), 0);
    EXPECT_EQ(f.recorder.commands(), (Commands{"seek cd to 03", "play cd from 03"}));
    f.tick();
    EXPECT_EQ(f.player->state().currentTrack, 3);
    EXPECT_EQ(f.caption("Info"), "Stopped . . .") << "the flags follow the drive a tick later";
    f.tick();
    EXPECT_EQ(f.caption("Info"), "Playing . . .");
}

TEST(TrackSelection, MoreTracksMenuListsElevenToThirtyAndPlays) {
    std::vector<VirtualTrack> tracks(25, VirtualTrack{60 * 75, true});
    Playing f(tracks);
    QTest::mouseRelease(f.control<QWidget>("M"), Qt::LeftButton);
    auto* item25 = f.player->findChild<QAction*>("MT25");
    EXPECT_TRUE(item25->isVisible());
    EXPECT_EQ(item25->text(), "25");
    EXPECT_FALSE(f.player->findChild<QAction*>("MT26")->isVisible());
    f.recorder.clear();
    item25->trigger();
    EXPECT_EQ(f.recorder.commands(), Commands{"play cd from 25"});
}

TEST(TrackSelection, FortyTracksListOnlyElevenToThirty) {
    std::vector<VirtualTrack> tracks(40, VirtualTrack{60 * 75, true});
    Playing f(tracks);
    QTest::mouseRelease(f.control<QWidget>("M"), Qt::LeftButton);
    EXPECT_EQ(f.player->findChild<QAction*>("MT11")->text(), "11");
    EXPECT_TRUE(f.player->findChild<QAction*>("MT30")->isVisible());
    EXPECT_EQ(f.player->findChild<QAction*>("MT30")->text(), "30");
    EXPECT_EQ(f.player->findChild<QAction*>("MT31"), nullptr);
}

TEST(TrackSelection, TenTracksOrFewerLeaveTheMoreLabelAlone) {
    Playing f;
    QTest::mouseRelease(f.control<QWidget>("M"), Qt::LeftButton);
    EXPECT_FALSE(f.player->findChild<QAction*>("MT12")->isVisible());
    EXPECT_EQ(f.player->findChild<QAction*>("MT11")->text(), "");
}

TEST(Seeking, FastForwardWhilePlayingMovesTenSeconds) {
    Playing f;
    f.cueMilliseconds(125000, true);
    EXPECT_EQ(f.gesture([&] { f.click("ff"); }),
              (Commands{"set cd time format milliseconds", "status cd position wait",
                        "play cd from 135000", "set cd time format tmsf"}));
    EXPECT_EQ(f.player->state().currentTrack, 1);
    EXPECT_EQ(f.caption("timeWindow"), "02:15");
}

TEST(Seeking, RewindWhileStoppedSendsTheUncheckedTarget) {
    Playing f;
    f.cueMilliseconds(4000, false);
    f.player->state().playing = false;
    EXPECT_EQ(f.gesture([&] { f.click("rew"); }),
              (Commands{"set cd time format milliseconds", "status cd position wait",
                        "seek cd to -6000", "set cd time format tmsf"}));
    EXPECT_TRUE(f.messages.shown().empty());
    EXPECT_EQ(f.device.send("status cd time format", 30).reply, "tmsf");
}

TEST(Seeking, WithNoDiscOnlyTheTimeFormatIsPutBack) {
    Playing f;
    f.drive.remove();
    EXPECT_EQ(f.gesture([&] { f.click("ff"); }),
              (Commands{"set cd time format milliseconds", "status cd position wait",
                        "set cd time format tmsf"}));
    EXPECT_EQ(f.device.send("status cd time format", 30).reply, "tmsf");
}

TEST(Seeking, AHugeStepCannotOverflow) {
    Playing f;
    f.player->state().settings.seekStep = 2147483647;
    f.cueMilliseconds(1000, true);
    const Commands sent = f.gesture([&] { f.click("rew"); });
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[2], "play cd from -999999000");
}

TEST(Seeking, ClickingTheBarJumpsToThatPointOfTheTrack) {
    Playing f(tracksOf({"04:00:00", "03:00:00", "05:00:00"}));
    f.cue("2", true);
    QWidget* bar = f.control<QWidget>("picProg");
    const Commands sent =
        f.gesture([&] { QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, 1)); });
    EXPECT_EQ(sent, (Commands{"set cd time format milliseconds", "play cd from 330000",
                              "set cd time format tmsf"}));
    EXPECT_EQ(f.caption("timeWindow"), "01:30");
    EXPECT_EQ(f.gesture([&] { QTest::mouseClick(bar, Qt::RightButton); }), Commands{});
    EXPECT_TRUE(f.recorder.commands().empty());
}

TEST(Seeking, HoverTellsWhereAClickWouldGo) {
    PlayerFixture f(tracksOf({"04:00:00", "03:00:00"}));
    CDPlayer& player = f.start();
    QWidget* bar = f.control<QWidget>("picProg");
    QTest::mouseMove(bar, QPoint(bar->width() / 4, 1));
    EXPECT_TRUE(bar->toolTip().isEmpty()) << "no disc read yet: nothing happens";
    EXPECT_EQ(f.control<QLabel>("picProg")->pixmap().cacheKey(),
              player.imageSlots()["sBarNormal"].cacheKey());
    f.tick();
    const SeekPreview quarter = player.seeking().picProg_MouseMove(0, 25, 100);
    EXPECT_EQ(quarter.tooltip, "Seek to: 25% - [01:00]");
    EXPECT_EQ(player.seeking().picProg_MouseMove(0, 0, 100).tooltip, "Seek to: 00% - [00:00]");
    const SeekPreview drag = player.seeking().picProg_MouseMove(1, 50, 100);
    EXPECT_EQ(drag.timeCaption, "02:00");
    EXPECT_EQ(drag.fillPercent, 50);
    EXPECT_FALSE(player.seeking().picProg_MouseMove(2, 50, 100).tooltip);
    EXPECT_TRUE(player.seeking().picProg_MouseMove(2, 50, 100).highlight);
}

TEST(Volume, ButtonsAndBarSetTheMixerWithTheDesignedClamping) {
    PlayerFixture f(sixTracks());
    CDPlayer& player = f.start();
    EXPECT_EQ(f.output.volume(), 34000);
    auto* bar = f.control<SkinLabel>("picVol");
    auto atHeight = [bar](double units) { return QPointF(2, units * bar->height() / 100); };
    emit bar->mouseUp(Qt::LeftButton, atHeight(50));
    EXPECT_EQ(player.state().settings.volumeLevel, 32500);
    EXPECT_EQ(f.output.volume(), 32500);
    EXPECT_NEAR(player.state().volumePercent, 50, 1);
    player.state().volumePercent = 50;
    f.click("up");
    EXPECT_EQ(player.state().settings.volumeLevel, 35500);
    player.state().volumePercent = 97;
    f.click("up");
    EXPECT_EQ(player.state().settings.volumeLevel, 65000);
    EXPECT_EQ(player.state().volumePercent, 100);
    player.state().volumePercent = 2;
    f.click("down");
    EXPECT_EQ(player.state().settings.volumeLevel, 0);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(2, bar->height() + 20));
    EXPECT_EQ(player.state().settings.volumeLevel, 650);
    EXPECT_EQ(f.output.volume(), 650);
    QTest::mouseClick(bar, Qt::RightButton, {}, atHeight(10).toPoint());
    EXPECT_EQ(player.state().settings.volumeLevel, 650);
    EXPECT_EQ(f.output.volume(), 650);
    player.close();
    EXPECT_EQ(f.savedSettings->volumeLevel, 650) << "the level survives in the settings";
}

}  // namespace
}  // namespace sonarch
