#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "audio/paced_output.h"
#include "device/drives/drive_name.h"
#include "device/drives/switchable_drive.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"

namespace sonarch {
namespace {

std::string ask(CdAudioDevice& device, const std::string& command) {
    const MciResult result = device.send(command, 64);
    return result.code == 0 ? result.reply : "error " + std::to_string(result.code);
}

std::vector<VirtualTrack> tracks(int count, int seconds) {
    return std::vector<VirtualTrack>(std::size_t(count), VirtualTrack{seconds * 75, true});
}

TEST(SwitchableDrive, ASwapIsADiscChangeToTheDevice) {
    ManualClock clock;
    SwitchableDrive drive;
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    ask(device, "open cdaudio alias cd");
    ask(device, "set cd time format tmsf");
    EXPECT_EQ(ask(device, "status cd media present"), "false") << "empty until a drive comes";
    EXPECT_EQ(ask(device, "set cd door open"), "") << "the empty drive's door still moves";
    EXPECT_EQ(ask(device, "status cd mode"), "open");
    ask(device, "set cd door closed");

    drive.switchTo(std::make_shared<VirtualDrive>(tracks(3, 60)));
    EXPECT_EQ(ask(device, "status cd number of tracks"), "3");
    ask(device, "play cd from 3");
    clock.advance(2000);
    EXPECT_EQ(ask(device, "status cd position"), "03:00:02:00");

    // Swapped while playing, for a disc of another shape: read afresh, head at its start.
    drive.switchTo(std::make_shared<VirtualDrive>(tracks(5, 30)));
    EXPECT_EQ(ask(device, "status cd number of tracks"), "5");
    EXPECT_EQ(ask(device, "status cd position"), "01:00:00:00");
    EXPECT_EQ(ask(device, "status cd length track 5"), "00:29:74");

    drive.switchTo(nullptr);
    EXPECT_EQ(ask(device, "status cd media present"), "false");
    EXPECT_FALSE(drive.holdsDrive());
}

TEST(SwitchableDrive, ADriveSwappedOutLivesUntilItsReadEnds) {
    ManualClock clock;
    auto old = std::make_shared<VirtualDrive>(tracks(2, 60));
    const std::weak_ptr<VirtualDrive> watch = old;
    SwitchableDrive drive(old);
    old.reset();
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    ask(device, "open cdaudio alias cd");
    watch.lock()->stallReads(true);
    ask(device, "play cd from 00:02:00");
    clock.advance(100);
    // The playback thread holds the drive while its read waits.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (watch.use_count() < 2 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    ASSERT_EQ(watch.use_count(), 2) << "the playback thread never started its read";

    drive.switchTo(std::make_shared<VirtualDrive>(tracks(4, 60)));
    EXPECT_FALSE(watch.expired()) << "not taken from under the read";
    EXPECT_EQ(ask(device, "status cd number of tracks"), "4");
    watch.lock()->stallReads(false);
    while (!watch.expired() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_TRUE(watch.expired()) << "let go once the read is done";
}

TEST(DriveName, TakesTheFormsDesktopsPass) {
    const std::string here = std::filesystem::current_path().string();
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"/dev/sr0", "/dev/sr0"},
        {"cdda://sr0/", "/dev/sr0"},
        {"cdda://sr1/Track%201.wav", "/dev/sr1"},
        {"cdda:///dev/sr0", "/dev/sr0"},
        {"CDDA://sr0", "/dev/sr0"},
        {"file:///home/me/My%20Album.cue", "/home/me/My Album.cue"},
        {"file://localhost/x.cue", "/x.cue"},
        {"file:///caf%E9.cue", "/caf\xE9.cue"},
        {"file:///100%.cue", "/100%.cue"},
        {"album.cue", here + "/album.cue"},
        {"./rips/../album.cue", here + "/rips/../album.cue"},  // ".." may cross a link
        {"demo", "demo"},
        {"virtual:01:00:00,02:00:00", "virtual:01:00:00,02:00:00"},
        {"file://elsewhere/x.cue", std::nullopt},
        {"http://example.org/x.cue", std::nullopt},
        {"cdda://", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(DriveNameFromArgument(text), expected) << text;
    }
}

}  // namespace
}  // namespace sonarch
