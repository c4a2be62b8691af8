#include "device/image_drive.h"

#include <gtest/gtest.h>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "device/cd_audio_device.h"
#include "device/device_layer.h"
#include "device/disc_key.h"
#include "device/drive_factory.h"
#include "device/mci_errors.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;

// Two audio tracks, a data track, and a last audio track: starts at sectors 0, 300, 525
// and 675, leadout 875 (addresses 150 higher).
const std::vector<ImageTrack> kMixedDisc = {{300, true}, {225, true}, {150, false}, {200, true}};

struct Replies {
    std::string tracks, start1, start2, start3, start4, length1, length2, length3, length4, disc;
};

Replies repliesFor(Drive& drive) {
    ManualClock clock;
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    device.send("open cdaudio alias cd wait shareable", 0);
    auto reply = [&device](const std::string& command) { return device.send(command, 256).reply; };
    return {reply("status cd number of tracks"), reply("status cd position track 1"),
            reply("status cd position track 2"), reply("status cd position track 3"),
            reply("status cd position track 4"), reply("status cd length track 1"),
            reply("status cd length track 2"),   reply("status cd length track 3"),
            reply("status cd length track 4"),   reply("status cd length")};
}

void expectMixedDiscReplies(Drive& drive) {
    const Replies r = repliesFor(drive);
    EXPECT_EQ(r.tracks, "4");
    EXPECT_EQ(r.start1, "00:02:00");
    EXPECT_EQ(r.start2, "00:06:00");
    EXPECT_EQ(r.start3, "00:09:00");
    EXPECT_EQ(r.start4, "00:11:00");
    EXPECT_EQ(r.length1, "00:04:00");
    EXPECT_EQ(r.length2, "00:03:00");
    EXPECT_EQ(r.length3, "00:02:00");
    EXPECT_EQ(r.length4, "00:02:49") << "the last track is one frame short";
    EXPECT_EQ(r.disc, "00:11:49");
}

TEST(DiscImages, CueBinRepliesFollowTheSheet) {
    TempDir dir;
    auto drive = openDrive(writeCueBin(dir, kMixedDisc));
    ASSERT_TRUE(drive.ok()) << drive.error();
    expectMixedDiscReplies(*drive.value());
    EXPECT_EQ(discKey(*drive.value()), "150 450 675 825 1025");
    const auto toc = drive.value()->readToc();
    ASSERT_TRUE(toc);
    EXPECT_FALSE(toc->tracks[2].audio);
    EXPECT_TRUE(toc->tracks[3].audio);
}

TEST(DiscImages, MultiFileCueLaysTheFilesEndToEnd) {
    TempDir dir;
    auto drive = openDrive(writeMultiFileCue(dir, kMixedDisc));
    ASSERT_TRUE(drive.ok()) << drive.error();
    expectMixedDiscReplies(*drive.value());
    EXPECT_EQ(discKey(*drive.value()), "150 450 675 825 1025");
    // A read across the border of two files gets both.
    std::vector<std::uint8_t> sectors(4 * kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(298, 4, sectors), ReadStatus::Ok);
    EXPECT_EQ(sectors, imageSectors(298, 4, true));
    EXPECT_EQ(drive.value()->readAudio(874, 2, sectors), ReadStatus::Failed) << "past the leadout";
}

TEST(DiscImages, CdrdaoTocTracksArePiecesOfOneFile) {
    TempDir dir;
    auto drive = openDrive(writeToc(dir, {{300, true}, {225, true}, {350, true}}));
    ASSERT_TRUE(drive.ok()) << drive.error();
    ManualClock clock;
    CdAudioDevice device(*drive.value(), std::make_unique<NullOutput>(clock));
    device.send("open cdaudio alias cd wait shareable", 0);
    EXPECT_EQ(device.send("status cd number of tracks", 30).reply, "3");
    EXPECT_EQ(device.send("status cd position track 3", 30).reply, "00:09:00");
    EXPECT_EQ(device.send("status cd length track 3", 30).reply, "00:04:49");
    EXPECT_EQ(discKey(*drive.value()), "150 450 675 1025");
    std::vector<std::uint8_t> sector(kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(600, 1, sector), ReadStatus::Ok);
    EXPECT_EQ(sector, imageSectors(600, 1, true));
}

TEST(DiscImages, PregapsOfAMultiFileSheetAreSilenceOnTheDisc) {
    TempDir dir;
    writeFile(dir.file("a.bin"), imageSectors(0, 100, true));
    writeFile(dir.file("b.bin"), imageSectors(100, 80, true));
    writeText(
        dir.file("gap.cue"),
        "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
        "FILE \"b.bin\" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:00:30\n    INDEX 01 00:00:00\n");
    auto drive = openDrive(dir.file("gap.cue"));
    ASSERT_TRUE(drive.ok()) << drive.error();
    const auto toc = drive.value()->readToc();
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->tracks[1].startSector, 130);
    EXPECT_EQ(toc->leadoutSector, 210);
    std::vector<std::uint8_t> sectors(2 * kBytesPerFrame);
    ASSERT_EQ(drive.value()->readAudio(129, 2, sectors), ReadStatus::Ok);
    EXPECT_EQ(std::vector<std::uint8_t>(sectors.begin(), sectors.begin() + kBytesPerFrame),
              std::vector<std::uint8_t>(kBytesPerFrame, 0));
    EXPECT_EQ(std::vector<std::uint8_t>(sectors.begin() + kBytesPerFrame, sectors.end()),
              imageSectors(100, 1, true));
}

TEST(DiscImages, BrokenImagesAreRefusedWithAReason) {
    TempDir dir;
    writeText(dir.file("missing.cue"),
              "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "FILE \"b.bin\" BINARY\n  TRACK 02 AUDIO\n    INDEX 01 00:00:00\n");
    auto missing = openDrive(dir.file("missing.cue"));
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.error().find("a.bin"), std::string::npos) << missing.error();

    writeFile(dir.file("a.bin"), imageSectors(0, 10, true));
    writeFile(dir.file("b.bin"), imageSectors(10, 10, true));
    writeText(dir.file("order.cue"),
              "FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
              "FILE \"b.bin\" BINARY\n  TRACK 03 AUDIO\n    INDEX 01 00:00:00\n");
    EXPECT_FALSE(openDrive(dir.file("order.cue")).ok()) << "track 2 is missing";

    // libcdio would put every track of this file at sector 0.
    writeText(dir.file("split.toc"),
              "CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 0\nTRACK AUDIO\nFILE \"b.bin\" 0\n");
    EXPECT_FALSE(openDrive(dir.file("split.toc")).ok());

    writeText(dir.file("noise.cue"), "this is not a cue sheet\n");
    EXPECT_FALSE(openDrive(dir.file("noise.cue")).ok());
    EXPECT_FALSE(openDrive(dir.file("nothing-here.cue")).ok());
    EXPECT_FALSE(openDrive(dir.file("")).ok()) << "a folder is no drive";
}

TEST(DiscImages, DoorTakesTheDiscOutAndPutsItBack) {
    TempDir dir;
    auto drive = openDrive(writeCueBin(dir, kMixedDisc));
    ASSERT_TRUE(drive.ok()) << drive.error();
    ManualClock clock;
    CdAudioDevice device(*drive.value(), std::make_unique<NullOutput>(clock));
    auto reply = [&device](const std::string& command) { return device.send(command, 256); };
    reply("open cdaudio alias cd wait shareable");
    reply("set cd time format tmsf");
    ASSERT_EQ(reply("play cd from 2").code, 0);
    clock.advance(1000);

    EXPECT_EQ(reply("set cd door open").code, 0);
    EXPECT_EQ(reply("status cd media present").reply, "false");
    EXPECT_EQ(reply("status cd mode").reply, "open");
    EXPECT_EQ(reply("status cd number of tracks").code, mci::kDeviceNotReady);
    std::vector<std::uint8_t> sector(kBytesPerFrame);
    EXPECT_EQ(drive.value()->readAudio(0, 1, sector), ReadStatus::NoDisc);

    EXPECT_EQ(reply("set cd door closed").code, 0);
    EXPECT_EQ(reply("status cd media present").reply, "true");
    EXPECT_EQ(reply("status cd mode").reply, "stopped");
    EXPECT_EQ(reply("status cd position").reply, "01:00:00:00") << "read afresh, at its start";
    EXPECT_EQ(reply("status cd number of tracks").reply, "4");
    EXPECT_EQ(drive.value()->readAudio(0, 1, sector), ReadStatus::Ok);
}

}  // namespace
}  // namespace sonarch
