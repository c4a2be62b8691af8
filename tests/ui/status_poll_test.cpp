#include <gtest/gtest.h>

#include <QAction>
#include <QTimer>

#include "player_fixture.h"

namespace sonarch {
namespace {

using testing::PlayerFixture;
using testing::tracksOf;

const QColor kCyan(0, 255, 255);
const QColor kYellow(255, 255, 0);

std::vector<VirtualTrack> twelveTracks() {
    return tracksOf({"03:00:00", "03:10:00", "03:20:00", "03:30:00", "03:40:00", "03:50:00",
                     "04:00:00", "04:10:00", "04:20:00", "04:30:00", "04:40:00", "04:50:00"});
}

TEST(StartUp, OpensTheDeviceAppliesTheVolumeAndStartsTheTimer) {
    Settings stored;
    stored.volumeLevel = 70000;
    PlayerFixture f(twelveTracks(), stored);
    CDPlayer& player = f.start();
    EXPECT_EQ(f.sentSince(0), (std::vector<std::string>{"open cdaudio alias cd wait shareable",
                                                        "set cd time format tmsf"}));
    EXPECT_EQ(f.output.volume(), 34000) << "an unusable stored volume becomes 34000";
    EXPECT_NEAR(player.state().volumePercent, 52.3, 0.1);
    EXPECT_TRUE(player.findChild<QTimer*>("Timer1")->isActive());
    EXPECT_EQ(player.findChild<QTimer*>("Timer1")->interval(), 500);
    EXPECT_TRUE(player.state().discLookupPending);
    EXPECT_TRUE(f.messages.shown().empty());
}

TEST(StartUp, AMixerThatCannotOpenStopsStartUpWithAMessage) {
    PlayerFixture f(twelveTracks());
    f.noAudioOutput = true;
    CDPlayer& player = f.start(false);
    EXPECT_EQ(f.messages.shown(), std::vector<std::string>{"Mixer can not open."});
    EXPECT_FALSE(player.findChild<QTimer*>("Timer1")->isActive());
    EXPECT_FALSE(player.state().discLookupPending);
}

TEST(StatusPoll, ADiscInTheDriveAtStartUpIsReadAndPlayed) {
    PlayerFixture f(twelveTracks());
    f.start();
    const std::size_t before = f.recorder.log().size();
    f.tick();
    const auto sent = f.sentSince(before);
    const std::vector<std::string> expectedStart = {
        "status cd media present", "status cd number of tracks wait", "status cd length wait",
        "status cd length track 1"};
    ASSERT_EQ(sent.size(), 19u);
    EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 4), expectedStart);
    EXPECT_EQ(sent[14], "status cd length track 12");
    EXPECT_EQ(sent[15], "seek cd to 1");
    EXPECT_EQ(sent[16], "play cd");
    EXPECT_EQ(sent[17], "status cd position");
    EXPECT_EQ(sent[18], "status cd mode");
    EXPECT_EQ(f.caption("Info"), "Playing . . .");
    EXPECT_EQ(f.caption("lTrack"), "Track 01 - [03:00]");
    EXPECT_EQ(f.caption("lCount"), "12");
    EXPECT_EQ(f.caption("timeWindow"), "00:00");
    f.tick(4);
    EXPECT_EQ(f.caption("timeWindow"), "00:02");
    EXPECT_TRUE(f.control<QWidget>("play")->isEnabled());
    EXPECT_TRUE(f.player->findChild<QAction*>("mnuStop")->isEnabled());
}

TEST(StatusPoll, ADiscNotInTheLibraryGetsNumberedDefaultRows) {
    PlayerFixture f(twelveTracks());
    f.start();
    f.tick();
    QTreeWidget* list = f.list();
    ASSERT_EQ(list->topLevelItemCount(), 12);
    const QStringList first = {"01", "03:00", "Track 01", "Unknown", "Unknown", "1", "0"};
    for (int column = 0; column < 7; ++column) {
        EXPECT_EQ(list->topLevelItem(0)->text(column), first[column]) << column;
    }
    EXPECT_EQ(list->topLevelItem(11)->text(0), "12");
    EXPECT_EQ(list->topLevelItem(11)->text(2), "Track 12");
    EXPECT_EQ(f.field("lTitle"), "Track 01");
    EXPECT_EQ(f.field("lArt"), "Unknown");
    EXPECT_TRUE(list->topLevelItem(0)->isSelected());
    for (int hidden : {4, 5, 6}) {
        EXPECT_TRUE(list->isColumnHidden(hidden));
    }
}

TEST(StatusPoll, RemovingTheDiscResetsTheWindowAndANewDiscPlays) {
    PlayerFixture f(twelveTracks());
    f.start();
    f.tick(3);
    f.drive.remove();
    f.tick();
    EXPECT_FALSE(f.control<QWidget>("play")->isEnabled());
    EXPECT_TRUE(f.control<QWidget>("eject")->isEnabled());
    for (const char* name : {"timeWindow", "lTrack", "ltTime", "lCount", "Info"}) {
        EXPECT_EQ(f.caption(name), "") << name;
    }
    EXPECT_EQ(f.field("lTitle"), "");
    EXPECT_FALSE(f.shown("picProg"));
    EXPECT_FALSE(f.player->state().discLoaded);
    EXPECT_TRUE(f.player->state().discLookupPending);

    f.drive.insert(tracksOf({"02:00:00", "02:30:00", "03:00:00"}));
    const std::size_t before = f.recorder.log().size();
    f.tick();
    const auto sent = f.sentSince(before);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "play cd"), sent.end());
    EXPECT_EQ(f.caption("Info"), "Playing . . .");
    EXPECT_EQ(f.caption("lCount"), "03");
    EXPECT_EQ(f.list()->topLevelItemCount(), 12) << "the old rows stay until an eject or lookup";
}

TEST(StatusPoll, EndOfDiscWithoutContinuousPlayWaitsAtTrackOne) {
    PlayerFixture f(tracksOf({"00:02:00", "00:03:00"}));
    f.start();
    f.tick(12);
    EXPECT_EQ(f.caption("Info"), "Ready . . .");
    EXPECT_EQ(f.caption("lTrack"), "Track 01 - [00:02]");
    EXPECT_EQ(f.player->state().currentTrack, 1);
    f.tick(4);
    EXPECT_EQ(f.caption("timeWindow"), "00:00") << "the drive stays cued at track 1";
}

TEST(StatusPoll, EndOfDiscWithContinuousPlayPlaysTrackOneAgain) {
    Settings stored;
    stored.continuousPlay = true;
    PlayerFixture f(tracksOf({"00:02:00", "00:03:00"}), stored);
    f.start();
    EXPECT_EQ(f.textColour("lContinue"), kCyan);
    f.tick(12);
    f.tick(2);
    EXPECT_EQ(f.caption("Info"), "Playing . . .");
    EXPECT_EQ(f.player->state().currentTrack, 1);
    EXPECT_EQ(f.caption("timeWindow"), "00:01");
}

TEST(StatusPoll, AOneTrackDiscIsNeverPlayed) {
    PlayerFixture f(tracksOf({"40:00:00"}));
    f.start();
    f.tick(3);
    const auto sent = f.recorder.commands();
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "play cd"), sent.end());
    EXPECT_EQ(f.list()->topLevelItemCount(), 0);
    EXPECT_EQ(f.caption("Info"), "");
    EXPECT_FALSE(f.control<QWidget>("play")->isEnabled());
}

TEST(DisplayRefresh, TrackNumbersShowTheCurrentTrackAndTheDiscsTracks) {
    PlayerFixture f(twelveTracks());
    f.start();
    f.tick();
    f.player->transport().PlayTrack(3);
    f.tick();
    EXPECT_EQ(f.textColour("N2"), kCyan);
    for (const char* other : {"N0", "N1", "N3", "N9"}) {
        EXPECT_EQ(f.textColour(other), kYellow) << other;
    }
    EXPECT_TRUE(f.shown("M"));

    PlayerFixture nine(tracksOf({"01:00:00", "01:00:00", "01:00:00", "01:00:00", "01:00:00",
                                 "01:00:00", "01:00:00", "01:00:00", "01:00:00"}));
    nine.start();
    nine.tick();
    EXPECT_EQ(nine.textColour("N0"), kCyan);
    EXPECT_EQ(nine.textColour("N8"), kYellow);
    EXPECT_EQ(nine.textColour("N9"), QColor(0xC0, 0xC0, 0)) << "no tenth track: untouched";
    EXPECT_FALSE(nine.shown("M"));
}

TEST(DisplayRefresh, TrackTwelveOfFourteenColoursNoLabelAsCurrent) {
    std::vector<VirtualTrack> tracks = twelveTracks();
    tracks.push_back(tracks.back());
    tracks.push_back(tracks.back());
    PlayerFixture f(tracks);
    f.start();
    f.tick();
    f.player->transport().PlayTrack(12);
    f.tick();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(f.textColour(QString("N%1").arg(i)), kYellow) << i;
    }
    EXPECT_TRUE(f.shown("M"));
}

TEST(DisplayRefresh, ThePlayIndicatorBlinksWhilePlaying) {
    PlayerFixture f(twelveTracks());
    f.start();
    std::vector<bool> shown;
    for (int i = 0; i < 10; ++i) {
        f.tick();
        shown.push_back(f.shown("PicPlay"));
        EXPECT_EQ(f.caption("Info"), "Playing . . .");
    }
    for (std::size_t i = 1; i < shown.size(); ++i) {
        EXPECT_NE(shown[i], shown[i - 1]) << i;
    }
}

TEST(ShutDown, ClosingStopsTheDiscAndSavesTheSettings) {
    PlayerFixture f(twelveTracks());
    CDPlayer& player = f.start();
    f.tick(2);
    player.state().settings.seekStep = 25;
    const std::size_t before = f.recorder.log().size();
    player.close();
    EXPECT_EQ(f.sentSince(before), (std::vector<std::string>{"stop cd", "close cd", "close all"}));
    ASSERT_TRUE(f.savedSettings);
    EXPECT_EQ(f.savedSettings->seekStep, 25);
    EXPECT_EQ(f.savedPosition.first, player.x() * 15.0);
    f.savedSettings.reset();
    player.Form_Unload();
    EXPECT_FALSE(f.savedSettings) << "shut-down runs once";
}

}  // namespace
}  // namespace sonarch
