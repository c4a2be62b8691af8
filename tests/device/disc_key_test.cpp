#include "device/mci/disc_key.h"

#include <gtest/gtest.h>

#include "base/messages.h"
#include "support/device_fixture.h"

namespace sonarch {
namespace {

using testing::DeviceFixture;
using testing::disc;

struct KeyFixture : DeviceFixture {
    using DeviceFixture::DeviceFixture;
    Result<std::string> key() {
        DeviceLayer layer(device, messages, error);
        return ComputeDiscKey(layer, [this] { ++eventRuns; });
    }
    MessageRecorder messages;
    DeviceError error;
    int eventRuns = 0;
};

TEST(DiscKey, WorkedExampleGivesTheStoredKey) {
    // Tracks start at 00:02:00, 04:10:30 and 08:45:12; the disc is 12:30:50 long.
    KeyFixture f(disc({"04:08:30", "04:34:57", "03:47:39"}));
    f.openAsPlayer();
    const auto key = f.key();
    ASSERT_TRUE(key.ok()) << key.error();
    EXPECT_EQ(key.value(), "150 18780 39387 56451");
    EXPECT_EQ(f.eventRuns, 2);
    EXPECT_EQ(f.reply("status cd time format"), "tmsf");
    EXPECT_EQ(f.reply("status cd position"), "01:00:00:00");
    EXPECT_TRUE(f.messages.shown().empty());
}

TEST(DiscKey, ClosingNumberIsTheLeadout) {
    KeyFixture f(disc({"02:00:00", "03:00:00"}));
    f.openAsPlayer();
    EXPECT_EQ(f.key().value(), "150 9150 22650");  // 150 + (22500 - 1) + 1
}

TEST(DiscKey, FortyTracksGiveALongKeyWhoseStoredPartIgnoresTheLastTracks) {
    std::vector<VirtualTrack> tracks(40, VirtualTrack{2 * 60 * 75, true});
    KeyFixture a(tracks);
    tracks.back().lengthFrames += 75;
    KeyFixture b(tracks);
    a.openAsPlayer();
    b.openAsPlayer();
    const std::string keyA = a.key().value();
    const std::string keyB = b.key().value();
    EXPECT_GT(keyA.size(), 270u);
    EXPECT_EQ(std::count(keyA.begin(), keyA.end(), ' '), 40);
    EXPECT_NE(keyA, keyB);
    EXPECT_EQ(keyA.substr(0, kStoredKeyLength), keyB.substr(0, kStoredKeyLength));
}

TEST(DiscKey, NoDiscIsAnErrorAndLeavesTheTimeFormatAlone) {
    KeyFixture f(std::vector<VirtualTrack>{});
    f.openAsPlayer();
    const auto key = f.key();
    EXPECT_FALSE(key.ok());
    EXPECT_FALSE(key.error().empty());
    EXPECT_EQ(f.reply("status cd time format"), "msf");
    EXPECT_TRUE(f.messages.shown().empty());
}

TEST(DiscKey, PlaybackGoesOnWhileTheKeyIsComputed) {
    KeyFixture f(disc({"02:00:00", "03:00:00"}));
    f.openAsPlayer();
    f.send("play cd from 2");
    ASSERT_TRUE(f.key().ok());
    EXPECT_EQ(f.reply("status cd mode"), "playing");
}

}  // namespace
}  // namespace sonarch
