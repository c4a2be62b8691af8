#include "playback/time_display.h"

#include <gtest/gtest.h>

namespace sonarch {
namespace {

PlayerState threeTrackDisc(int track, int minutes, int seconds) {
    PlayerState state;
    state.trackCount = 3;
    state.trackLengths = {"04:00", "03:30", "05:00"};
    state.discLengthText = "12:30";
    state.currentTrack = static_cast<std::int16_t>(track);
    state.positionMinutes = static_cast<std::int16_t>(minutes);
    state.positionSeconds = static_cast<std::int16_t>(seconds);
    return state;
}

TEST(TimeDisplay, EachModeShowsItsTime) {
    PlayerState state = threeTrackDisc(3, 1, 15);
    struct Mode {
        bool Settings::*flag;
        const char* shown;
    };
    const Mode modes[] = {{&Settings::showTrackElapsed, "01:15"},
                          {&Settings::showTrackRemaining, "-03:45"},
                          {&Settings::showTotalElapsed, "08:45"},
                          {&Settings::showTotalRemaining, "-03:45"}};
    for (const Mode& mode : modes) {
        state.settings.showTrackElapsed = false;
        state.settings.*mode.flag = true;
        const TimeCaptions captions = refreshTimeDisplay(state, elapsedText(state));
        ASSERT_TRUE(captions.time.has_value()) << mode.shown;
        EXPECT_EQ(*captions.time, mode.shown);
        state.settings.*mode.flag = false;
    }
}

TEST(TimeDisplay, TrackAndDiscCaptions) {
    const PlayerState state = threeTrackDisc(3, 1, 15);
    const TimeCaptions captions = refreshTimeDisplay(state, "01:15");
    EXPECT_EQ(captions.track, "Track 03 - [05:00]");
    EXPECT_EQ(captions.barTrack, "03 - [05:00]");
    EXPECT_EQ(captions.totalTime, "12:30");
    EXPECT_EQ(captions.barTotal, "[03 - 12:30]");
    EXPECT_EQ(captions.trackCount, "03");
    EXPECT_EQ(captions.progressPercent, 25);
}

TEST(TimeDisplay, ATrackOutsideTheDiscLeavesItsCaptionsAlone) {
    PlayerState state = threeTrackDisc(7, 0, 3);
    state.settings.showTrackElapsed = false;
    state.settings.showTrackRemaining = true;
    const TimeCaptions captions = refreshTimeDisplay(state, "00:03");
    EXPECT_FALSE(captions.time);
    EXPECT_FALSE(captions.track);
    EXPECT_FALSE(captions.progressPercent);
    EXPECT_EQ(captions.trackCount, "03");
}

TEST(TimeDisplay, NoModeSetWritesNoTime) {
    PlayerState state = threeTrackDisc(1, 0, 3);
    state.settings.showTrackElapsed = false;
    EXPECT_FALSE(refreshTimeDisplay(state, "00:03").time);
    EXPECT_FALSE(cycleTimeMode(state.settings));
    EXPECT_FALSE(state.settings.showTrackElapsed || state.settings.showTrackRemaining ||
                 state.settings.showTotalElapsed || state.settings.showTotalRemaining);
}

TEST(TimeDisplay, FourClicksCycleThroughEveryModeAndBack) {
    Settings settings;
    const Settings start = settings;
    std::vector<std::string> tooltips;
    for (int i = 0; i < 4; ++i) {
        tooltips.push_back(cycleTimeMode(settings).value_or("none"));
    }
    EXPECT_EQ(tooltips, (std::vector<std::string>{"Track remaining", "Total elapsed",
                                                  "Total remaining", "Track elapsed"}));
    EXPECT_EQ(settings, start);
}

TEST(TimeArithmetic, PrevTimeAndGetCurrentframeCountEarlierTracks) {
    EXPECT_EQ(PrevTime(threeTrackDisc(1, 0, 0)), 0);
    EXPECT_EQ(PrevTime(threeTrackDisc(3, 0, 0)), 450);
    const PlayerState state = threeTrackDisc(3, 0, 0);
    EXPECT_EQ(GetCurrentframe(state, 3), 450000);
    EXPECT_EQ(GetCurrentframe(state, 2), 240000);
    EXPECT_EQ(GetCurrentframe(state, 1), 0);
    EXPECT_EQ(GetCurrentframe(state, 0), 0);
}

TEST(TimeArithmetic, ShowProgressRoundsToEvenAndRefusesWhatDoesNotFit) {
    EXPECT_EQ(ShowProgress(240, 60), 25);
    EXPECT_EQ(ShowProgress(240, 300), std::nullopt) << "125 % leaves the fill alone";
    EXPECT_EQ(ShowProgress(0, 0), std::nullopt);
    EXPECT_EQ(ShowProgress(3, 1), 33);
    EXPECT_EQ(ShowProgress(8, 1), 12);
    EXPECT_EQ(ShowProgress(8, 3), 38) << "37.5 rounds to the even 38";
    EXPECT_EQ(ShowProgress(100, 100), 100);
    EXPECT_EQ(ShowProgress(2000000000, 0), std::nullopt) << "the product overflows";
}

}  // namespace
}  // namespace sonarch
