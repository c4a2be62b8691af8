// The status poll, the display refresh, start-up and shut-down, through the player alone.
#include <gtest/gtest.h>

#include "support/player_harness.h"

namespace sonarch {
namespace {

using testing::PlayerHarness;
using testing::tracksOf;

constexpr WinColour rgb(int r, int g, int b) {
    return WinColour(r) | WinColour(g) << 8 | WinColour(b) << 16;
}
constexpr WinColour kCyan = rgb(0, 255, 255);
constexpr WinColour kYellow = rgb(255, 255, 0);

std::vector<VirtualTrack> twelveTracks() {
    return tracksOf({"03:00:00", "03:10:00", "03:20:00", "03:30:00", "03:40:00", "03:50:00",
                     "04:00:00", "04:10:00", "04:20:00", "04:30:00", "04:40:00", "04:50:00"});
}

TEST(StartUp, OpensTheDeviceAppliesTheVolumeAndStartsTheTimer) {
    Settings stored;
    stored.volumeLevel = 70000;
    PlayerHarness f(twelveTracks(), stored);
    Player& player = f.start();
    EXPECT_EQ(f.sentSince(0), (std::vector<std::string>{"open cdaudio alias cd wait shareable",
                                                        "set cd time format tmsf"}));
    EXPECT_EQ(f.output.volume(), 34000) << "an unusable stored volume becomes 34000";
    EXPECT_NEAR(f.windowModel->volumePercent(), 52.3, 0.1) << "the volume bar's share";
    EXPECT_TRUE(player.timer()->isActive());
    EXPECT_EQ(player.timer()->interval(), 500);
    EXPECT_TRUE(player.state().discLookupPending);
    EXPECT_TRUE(f.messages.shown().empty());
}

TEST(StartUp, AMixerThatCannotOpenStopsStartUpWithAMessage) {
    PlayerHarness f(twelveTracks());
    f.noAudioOutput = true;
    Player& player = f.start(false);
    EXPECT_EQ(f.messages.shown(), std::vector<std::string>{"Mixer can not open."});
    EXPECT_FALSE(player.timer()->isActive());
    EXPECT_FALSE(player.state().discLookupPending);
}

TEST(StatusPoll, ADiscInTheDriveAtStartUpIsReadAndPlayed) {
    PlayerHarness f(twelveTracks());
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
    EXPECT_EQ(f.status(), "Playing . . .");
    EXPECT_EQ(f.caption(Caption::Track), "Track 01 - [03:00]");
    EXPECT_EQ(f.caption(Caption::TrackCount), "12");
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:00");
    f.tick(4);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:02");
    EXPECT_TRUE(f.display().transportEnabled());
}

TEST(StatusPoll, ADiscNotInTheLibraryGetsNumberedDefaultRows) {
    PlayerHarness f(twelveTracks());
    Player& player = f.start();
    f.tick();
    const TrackList& list = player.trackList();
    ASSERT_EQ(list.count(), 12);
    EXPECT_EQ(*list.row(1), (TrackRow{1, "03:00", "Track 01", "Unknown", "Unknown", 1, 0}));
    EXPECT_EQ(list.row(12)->number, 12);
    EXPECT_EQ(list.row(12)->title, "Track 12");
    EXPECT_EQ(f.display().trackField(TrackField::Title), "Track 01");
    EXPECT_EQ(f.display().trackField(TrackField::Artist), "Unknown");
    EXPECT_EQ(f.display().selectedRow(), 1);
}

TEST(StatusPoll, RemovingTheDiscResetsTheDisplayAndANewDiscPlays) {
    PlayerHarness f(twelveTracks());
    Player& player = f.start();
    f.tick(3);
    int resets = 0;
    QObject::connect(&player, &Player::discReset, [&] { ++resets; });
    f.drive.remove();
    f.tick();
    EXPECT_EQ(resets, 1) << "the cover and the more-tracks menu are emptied";
    EXPECT_FALSE(f.display().transportEnabled());
    for (Caption caption : {Caption::TimeWindow, Caption::Track, Caption::TotalTime,
                            Caption::TrackCount, Caption::BarTime}) {
        EXPECT_EQ(f.caption(caption), "");
    }
    EXPECT_EQ(f.status(), "");
    EXPECT_EQ(f.display().trackField(TrackField::Title), "");
    EXPECT_FALSE(f.display().progressShown());
    EXPECT_FALSE(player.state().discLoaded);
    EXPECT_TRUE(player.state().discLookupPending);

    f.drive.insert(tracksOf({"02:00:00", "02:30:00", "03:00:00"}));
    const std::size_t before = f.recorder.log().size();
    f.tick();
    const auto sent = f.sentSince(before);
    EXPECT_NE(std::find(sent.begin(), sent.end(), "play cd"), sent.end());
    EXPECT_EQ(f.status(), "Playing . . .");
    EXPECT_EQ(f.caption(Caption::TrackCount), "03");
    EXPECT_EQ(player.trackList().count(), 12) << "the old rows stay until an eject or lookup";
}

TEST(StatusPoll, EndOfDiscWithoutContinuousPlayWaitsAtTrackOne) {
    PlayerHarness f(tracksOf({"00:02:00", "00:03:00"}));
    Player& player = f.start();
    f.tick(12);
    EXPECT_EQ(f.status(), "Ready . . .");
    EXPECT_EQ(f.caption(Caption::Track), "Track 01 - [00:02]");
    EXPECT_EQ(player.state().currentTrack, 1);
    f.tick(4);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:00") << "the drive stays cued at track 1";
}

TEST(StatusPoll, EndOfDiscWithContinuousPlayPlaysTrackOneAgain) {
    Settings stored;
    stored.continuousPlay = true;
    PlayerHarness f(tracksOf({"00:02:00", "00:03:00"}), stored);
    Player& player = f.start();
    f.tick(14);
    EXPECT_EQ(f.status(), "Playing . . .");
    EXPECT_EQ(player.state().currentTrack, 1);
    EXPECT_EQ(f.caption(Caption::TimeWindow), "00:01");
}

TEST(StatusPoll, AOneTrackDiscIsNeverPlayed) {
    PlayerHarness f(tracksOf({"40:00:00"}));
    Player& player = f.start();
    f.tick(3);
    const auto sent = f.recorder.commands();
    EXPECT_EQ(std::find(sent.begin(), sent.end(), "play cd"), sent.end());
    EXPECT_TRUE(player.trackList().empty());
    EXPECT_EQ(f.status(), "");
    EXPECT_FALSE(f.display().transportEnabled());
}

TEST(DisplayRefresh, TrackNumbersShowTheCurrentTrackAndTheDiscsTracks) {
    PlayerHarness f(twelveTracks());
    Player& player = f.start();
    f.tick();
    player.playTrack(3);
    f.tick();
    EXPECT_EQ(f.display().trackNumberColour(2), kCyan);
    for (int other : {0, 1, 3, 9}) {
        EXPECT_EQ(f.display().trackNumberColour(other), kYellow) << other;
    }
    EXPECT_TRUE(f.display().moreShown());

    PlayerHarness nine(tracksOf({"01:00:00", "01:00:00", "01:00:00", "01:00:00", "01:00:00",
                                 "01:00:00", "01:00:00", "01:00:00", "01:00:00"}));
    nine.start();
    const WinColour untouched = nine.display().trackNumberColour(8);
    nine.tick();
    EXPECT_EQ(nine.display().trackNumberColour(0), kCyan);
    EXPECT_EQ(nine.display().trackNumberColour(8), kYellow);
    EXPECT_EQ(nine.display().trackNumberColour(9), untouched) << "no tenth track: untouched";
    EXPECT_FALSE(nine.display().moreShown());
}

TEST(DisplayRefresh, TrackTwelveOfFourteenColoursNoLabelAsCurrent) {
    std::vector<VirtualTrack> tracks = twelveTracks();
    tracks.push_back(tracks.back());
    tracks.push_back(tracks.back());
    PlayerHarness f(tracks);
    Player& player = f.start();
    f.tick();
    player.playTrack(12);
    f.tick();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(f.display().trackNumberColour(i), kYellow) << i;
    }
    EXPECT_TRUE(f.display().moreShown());
}

TEST(DisplayRefresh, ThePlayIndicatorBlinksWhilePlaying) {
    PlayerHarness f(twelveTracks());
    f.start();
    std::vector<bool> shown;
    for (int i = 0; i < 10; ++i) {
        f.tick();
        shown.push_back(f.display().indicatorShown(Indicator::Play));
        EXPECT_EQ(f.status(), "Playing . . .");
    }
    for (std::size_t i = 1; i < shown.size(); ++i) {
        EXPECT_NE(shown[i], shown[i - 1]) << i;
    }
}

TEST(ShutDown, StopsTheDiscAndSavesTheSettingsOnce) {
    PlayerHarness f(twelveTracks());
    Player& player = f.start();
    f.tick(2);
    player.setSeekStep(25);
    const std::size_t before = f.recorder.log().size();
    player.shutDown({900, 1200});
    EXPECT_EQ(f.sentSince(before), (std::vector<std::string>{"stop cd", "close cd", "close all"}));
    ASSERT_TRUE(f.savedSettings);
    EXPECT_EQ(f.savedSettings->seekStep, 25);
    EXPECT_EQ(f.savedPosition.left, 900);
    EXPECT_FALSE(player.timer()->isActive());
    f.savedSettings.reset();
    player.shutDown({0, 0});
    EXPECT_FALSE(f.savedSettings) << "shut-down runs once";
}

}  // namespace
}  // namespace sonarch

namespace sonarch {
namespace {

TEST(StatusPoll, ADiscWithCdTextGetsItsTitlesWhereTheLibraryHasNone) {
    DiscText text;
    text.title = "Harbour Lights";
    text.performer = "The Tide";
    text.tracks = {{"First Light", ""}, {"", "Guest Singer"}};  // track 3 says nothing
    testing::PlayerHarness f({});
    f.drive.insert(testing::tracksOf({"03:00:00", "03:10:00", "03:20:00"}), text);
    Player& player = f.start();
    f.tick();
    const TrackList& list = player.trackList();
    ASSERT_EQ(list.count(), 3);
    EXPECT_EQ(*list.row(1),
              (TrackRow{1, "03:00", "First Light", "The Tide", "Harbour Lights", 1, 0}));
    EXPECT_EQ(list.row(2)->title, "Track 02");
    EXPECT_EQ(list.row(2)->artist, "Guest Singer");
    EXPECT_EQ(list.row(3)->artist, "The Tide") << "the disc's performer where a track has none";
    EXPECT_EQ(f.display().trackField(TrackField::Album), "Harbour Lights");
}

}  // namespace
}  // namespace sonarch
