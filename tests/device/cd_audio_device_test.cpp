#include "device/mci/cd_audio_device.h"

#include <gtest/gtest.h>

#include "device/mci/mci_errors.h"
#include "support/device_fixture.h"

namespace sonarch {
namespace {

using testing::DeviceFixture;
using testing::disc;

TEST(CdAudioDevice, OpenAnswersWithTheDeviceIdAndRefusesADuplicateAlias) {
    DeviceFixture f(disc({"03:00:00", "04:00:00"}));
    EXPECT_EQ(f.send("status cd mode").code, mci::kInvalidDeviceName);
    const MciResult opened = f.send("open cdaudio alias cd wait shareable");
    EXPECT_EQ(opened.code, 0);
    EXPECT_EQ(opened.reply, "1");
    EXPECT_EQ(f.send("open cdaudio alias cd wait shareable").code, mci::kDuplicateAlias);
    EXPECT_EQ(f.send("open cdrom alias other").code, mci::kInvalidDeviceName);
    EXPECT_EQ(f.send("close cd").code, 0);
    EXPECT_EQ(f.send("close cd").code, mci::kInvalidDeviceName);
    EXPECT_EQ(f.send("close all").code, 0);
    EXPECT_EQ(f.send("close all").reply, "");
}

TEST(CdAudioDevice, AddressesAreAbsoluteAndMsfFollowsOpen) {
    DeviceFixture f(disc({"04:08:30", "04:34:57", "03:45:38"}));
    f.send("open cdaudio alias cd wait shareable");
    EXPECT_EQ(f.reply("status cd time format"), "msf");
    EXPECT_EQ(f.reply("status cd position track 1"), "00:02:00");
    EXPECT_EQ(f.reply("status cd position track 2"), "04:10:30");
    EXPECT_EQ(f.reply("status cd position track 3"), "08:45:12");
    EXPECT_EQ(f.reply("status cd position"), "00:02:00");
    // Each track's length is the distance to the next start; the last one is a frame short.
    EXPECT_EQ(f.reply("status cd length track 1"), "04:08:30");
    EXPECT_EQ(f.reply("status cd length track 3"), "03:45:37");
    EXPECT_EQ(f.reply("status cd length"), "12:28:49");
    EXPECT_EQ(f.reply("status cd number of tracks"), "3");
}

TEST(CdAudioDevice, TmsfReportsTrackRelativePositionsAndTakesTrackNumbers) {
    DeviceFixture f(disc({"03:00:00", "04:00:00", "05:00:00"}));
    f.openAsPlayer();
    EXPECT_EQ(f.reply("status cd position"), "01:00:00:00");
    EXPECT_EQ(f.reply("status cd length track 2"), "04:00:00");
    EXPECT_EQ(f.reply("status cd position track 2"), "02:00:00:00");
    EXPECT_EQ(f.send("play cd from 2").code, 0);
    EXPECT_EQ(f.reply("status cd mode"), "playing");
    f.clock.advance(2000);
    EXPECT_EQ(f.reply("status cd position"), "02:00:02:00");
    EXPECT_EQ(f.reply("status cd current track"), "2");
    EXPECT_EQ(f.send("seek cd to 03").code, 0) << "leading zeros are a track number too";
    EXPECT_EQ(f.reply("status cd position"), "03:00:00:00");
    EXPECT_EQ(f.send("play cd from 1:00:30:10").code, 0);
    EXPECT_EQ(f.reply("status cd position"), "01:00:30:10");
}

TEST(CdAudioDevice, MillisecondsCountFromTheStartOfTrackOne) {
    DeviceFixture f(disc({"04:00:00", "03:00:00", "05:00:00"}));
    f.openAsPlayer();
    ASSERT_EQ(f.send("set cd time format milliseconds").code, 0);
    EXPECT_EQ(f.reply("status cd position wait"), "0");
    EXPECT_EQ(f.reply("status cd length track 1"), "240000");
    // The middle of track 2 as the player computes it from the track lengths.
    ASSERT_EQ(f.send("play cd from 330000").code, 0);
    EXPECT_EQ(f.reply("status cd position wait"), "330000");
    ASSERT_EQ(f.send("set cd time format tmsf").code, 0);
    EXPECT_EQ(f.reply("status cd position"), "02:01:30:00");
}

TEST(CdAudioDevice, FramesFormatIsRefusedAndTheFormatIsKept) {
    DeviceFixture f(disc({"03:00:00", "04:00:00"}));
    f.openAsPlayer();
    EXPECT_EQ(f.send("set cd time format frames").code, mci::kBadTimeFormat);
    EXPECT_EQ(f.reply("status cd time format"), "tmsf");
    EXPECT_EQ(f.send("set cd time format ms").code, 0);
    EXPECT_EQ(f.reply("status cd time format"), "milliseconds");
}

TEST(CdAudioDevice, TargetsOutsideTheDiscAreRefusedAndChangeNothing) {
    DeviceFixture f(disc({"03:00:00", "04:00:00"}));
    f.openAsPlayer();
    ASSERT_EQ(f.send("play cd from 2").code, 0);
    f.clock.advance(1000);
    struct Case {
        const char* format;
        const char* command;
    };
    const Case cases[] = {
        {"tmsf", "play cd from 0"},           {"tmsf", "seek cd to 3"},
        {"tmsf", "play cd from -1"},          {"tmsf", "seek cd to 2:04:00:00"},
        {"milliseconds", "seek cd to -6000"}, {"milliseconds", "play cd from 420000"},
        {"msf", "play cd from 00:01:74"},     {"msf", "seek cd to 7:02:00"},
    };
    for (const Case& c : cases) {
        f.send(std::string("set cd time format ") + c.format);
        EXPECT_EQ(f.send(c.command).code, mci::kOutOfRange) << c.command;
        f.send("set cd time format tmsf");
        EXPECT_EQ(f.reply("status cd position"), "02:00:01:00") << c.command;
        EXPECT_EQ(f.reply("status cd mode"), "playing") << c.command;
    }
}

TEST(CdAudioDevice, SeekStopsPauseKeepsAndPlayResumesThePosition) {
    DeviceFixture f(disc({"03:00:00", "04:00:00"}));
    f.openAsPlayer();
    f.send("play cd from 1");
    f.clock.advance(5000);
    f.send("pause cd");
    EXPECT_EQ(f.reply("status cd mode"), "paused");
    f.clock.advance(5000);
    EXPECT_EQ(f.reply("status cd position"), "01:00:05:00");
    f.send("play cd");
    f.clock.advance(1000);
    EXPECT_EQ(f.reply("status cd position"), "01:00:06:00");
    EXPECT_EQ(f.send("seek cd to 2").code, 0);
    EXPECT_EQ(f.reply("status cd mode"), "stopped");
    f.clock.advance(3000);
    EXPECT_EQ(f.reply("status cd position"), "02:00:00:00");
    f.send("play cd");
    f.clock.advance(3000);
    EXPECT_EQ(f.reply("status cd position"), "02:00:03:00");
    f.send("stop cd wait");
    EXPECT_EQ(f.reply("status cd mode"), "stopped");
    EXPECT_EQ(f.reply("status cd position"), "02:00:03:00");
}

TEST(CdAudioDevice, EndOfDiscStopsOnTheLastFrame) {
    DeviceFixture f(disc({"00:10:00", "00:20:00"}));
    f.openAsPlayer();
    f.send("play cd from 2");
    f.clock.advance(60000);
    EXPECT_EQ(f.reply("status cd mode"), "stopped");
    const std::string length = f.reply("status cd length track 2");
    const std::string position = f.reply("status cd position");
    EXPECT_EQ(position, "02:00:19:74");
    EXPECT_EQ(position.substr(3, 5), length.substr(0, 5));
}

TEST(CdAudioDevice, DataTracksAreSkippedToTheNextAudioTrack) {
    DeviceFixture f(disc({"03:00:00", "data=02:00:00", "04:00:00", "data=01:00:00"}));
    f.openAsPlayer();
    EXPECT_EQ(f.send("play cd from 2").code, 0);
    EXPECT_EQ(f.reply("status cd position"), "03:00:00:00");
    EXPECT_EQ(f.send("seek cd to 4").code, mci::kOutOfRange)
        << "no audio after the last data track";
    // Playing track 3 ends where the trailing data track begins.
    f.clock.advance(300000);
    EXPECT_EQ(f.reply("status cd mode"), "stopped");
    EXPECT_EQ(f.reply("status cd position"), "03:03:59:74");
}

TEST(CdAudioDevice, NoDiscDoorAndMediaReplies) {
    DeviceFixture f(std::vector<VirtualTrack>{});
    f.openAsPlayer();
    EXPECT_EQ(f.reply("status cd media present"), "false");
    EXPECT_EQ(f.reply("status cd mode"), "not ready");
    EXPECT_EQ(f.send("status cd number of tracks wait").code, mci::kDeviceNotReady);
    EXPECT_EQ(f.send("play cd").code, mci::kDeviceNotReady);
    EXPECT_EQ(f.send("seek cd to 1").code, mci::kDeviceNotReady);
    const MciResult opened = f.send("set cd door open");
    EXPECT_EQ(opened.code, 0);
    EXPECT_EQ(opened.reply, "");
    EXPECT_EQ(f.reply("status cd mode"), "open");
    f.drive.insert(disc({"03:00:00", "04:00:00"}));
    EXPECT_EQ(f.reply("status cd media present"), "true");
    EXPECT_EQ(f.reply("status cd number of tracks"), "2");
    EXPECT_EQ(f.send("set cd door open").code, 0);
    EXPECT_EQ(f.reply("status cd media present"), "false");
    EXPECT_EQ(f.send("set cd door closed").code, 0);
    EXPECT_EQ(f.reply("status cd media present"), "true");
    EXPECT_EQ(f.reply("status cd position"), "01:00:00:00");
}

TEST(CdAudioDevice, ARemovedDiscStopsPlayback) {
    DeviceFixture f(disc({"03:00:00", "04:00:00"}));
    f.openAsPlayer();
    f.send("play cd from 2");
    f.drive.remove();
    EXPECT_EQ(f.reply("status cd media present"), "false");
    f.drive.insert();
    EXPECT_EQ(f.reply("status cd mode"), "stopped");
    EXPECT_EQ(f.reply("status cd position"), "01:00:00:00");
}

TEST(CdAudioDevice, AReplyLongerThanTheBufferIsAnError) {
    DeviceFixture f(disc({"03:00:00", "04:00:00"}));
    f.openAsPlayer();
    EXPECT_EQ(f.send("status cd position", 11).code, mci::kParamOverflow);
    EXPECT_EQ(f.send("status cd position", 12).reply, "01:00:00:00");
    EXPECT_EQ(f.send("status cd position", 0).reply, "");
}

TEST(CdAudioDevice, EveryCommandThePlayerSendsIsAccepted) {
    DeviceFixture f(disc({"03:00:00", "04:00:00", "05:00:00"}));
    // In the order a session would send them; each must succeed.
    const char* const commands[] = {
        "open cdaudio alias cd wait shareable",
        "set cd time format tmsf",
        "status cd media present",
        "status cd number of tracks wait",
        "status cd length wait",
        "status cd length track 2",
        "status cd position",
        "status cd mode",
        "seek cd to 1",
        "play cd",
        "pause cd",
        "play cd from 2",
        "play cd from 03",
        "stop cd wait",
        "seek cd to 3",
        "set cd time format milliseconds",
        "status cd position wait",
        "seek cd to 1000",
        "play cd from 2000",
        "set cd time format tmsf",
        "stop cd",
        "set cd door open",
        "set cd door closed",
        "close all",
        "open cdaudio alias cd wait shareable",
        "set cd time format frames",
        "status cd number of tracks",
        "status cd position track 3",
        "close cd",
    };
    for (const std::string command : commands) {
        const int expected = command == "set cd time format frames" ? mci::kBadTimeFormat : 0;
        EXPECT_EQ(f.send(command).code, expected) << command;
    }
}

}  // namespace
}  // namespace sonarch
