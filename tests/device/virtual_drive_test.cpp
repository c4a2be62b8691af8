#include "device/drives/virtual_drive.h"

#include <gtest/gtest.h>

#include <cmath>

namespace sonarch {
namespace {

TEST(VirtualDisc, ParsesTheCommandLineForm) {
    auto tracks = parseVirtualDisc("virtual:03:00:00,data=01:30:10,00:02:05");
    ASSERT_TRUE(tracks);
    ASSERT_EQ(tracks->size(), 3u);
    EXPECT_EQ((*tracks)[0].lengthFrames, 13500);
    EXPECT_FALSE((*tracks)[1].audio);
    EXPECT_EQ((*tracks)[1].lengthFrames, 6760);
    EXPECT_EQ((*tracks)[2].lengthFrames, 155);
    EXPECT_TRUE(parseVirtualDisc("virtual:")->empty()) << "an empty drive";
    std::string error;
    EXPECT_FALSE(parseVirtualDisc("virtual:03:00", &error));
    EXPECT_NE(error.find("03:00"), std::string::npos);
    EXPECT_FALSE(parseVirtualDisc("virtual:03:00:00,,"));
    EXPECT_FALSE(parseVirtualDisc("virtual:00:00:00"));
    EXPECT_FALSE(parseVirtualDisc("cdrom"));
}

TEST(VirtualDisc, ADiscLongerThanACdHoldsIsRefused) {
    // The leadout of a CD lies at 99:59:74 at the latest, 2 seconds of lead-in included.
    EXPECT_TRUE(parseVirtualDisc("virtual:99:57:74"));
    EXPECT_TRUE(parseVirtualDisc("virtual:50:00:00,49:57:74"));
    for (const char* disc : {"virtual:99:58:00", "virtual:50:00:00,50:00:00",
                             "virtual:99999:00:00,99999:00:00,99999:00:00,99999:00:00,99999:00:00",
                             "virtual:100000:00:00"}) {
        std::string error;
        EXPECT_FALSE(parseVirtualDisc(disc, &error)) << disc;
        EXPECT_NE(error.find("longer than a CD can hold"), std::string::npos) << error;
    }
}

TEST(VirtualDisc, DemoDiscHasTwelveTracksOfTwoToFiveMinutes) {
    const auto demo = demoDisc();
    ASSERT_EQ(demo.size(), 12u);
    for (const VirtualTrack& track : demo) {
        EXPECT_TRUE(track.audio);
        EXPECT_GE(track.lengthFrames, 2 * 60 * 75);
        EXPECT_LE(track.lengthFrames, 5 * 60 * 75);
    }
}

TEST(VirtualDrive, TocStartsAtSectorZeroAndDoorHidesTheDisc) {
    VirtualDrive drive(*parseVirtualDisc("virtual:00:10:00,00:20:00"));
    auto toc = drive.readToc();
    ASSERT_TRUE(toc);
    EXPECT_EQ(toc->tracks[1].startSector, 750);
    EXPECT_EQ(toc->leadoutSector, 2250);
    const auto generation = drive.discGeneration();
    drive.openDoor();
    EXPECT_FALSE(drive.mediaPresent());
    EXPECT_FALSE(drive.readToc());
    drive.closeDoor();
    EXPECT_TRUE(drive.mediaPresent());
    EXPECT_GT(drive.discGeneration(), generation);
}

TEST(VirtualDrive, EachTrackPlaysItsOwnTone) {
    VirtualDrive drive(*parseVirtualDisc("virtual:00:01:00,00:01:00"));
    std::vector<std::uint8_t> sectors(75 * kBytesPerFrame);
    ASSERT_EQ(drive.readAudio(75, 75, sectors), ReadStatus::Ok);
    // Count sign changes of the left channel over one second: twice the frequency.
    int crossings = 0;
    std::int16_t previous = 0;
    for (std::size_t i = 0; i < sectors.size(); i += 4) {
        const auto sample = static_cast<std::int16_t>(sectors[i] | (sectors[i + 1] << 8));
        EXPECT_EQ(sample, static_cast<std::int16_t>(sectors[i + 2] | (sectors[i + 3] << 8)));
        if ((previous < 0) != (sample < 0)) {
            ++crossings;
        }
        previous = sample;
    }
    EXPECT_NEAR(crossings / 2.0, VirtualDrive::toneFrequency(2), 2.0);
    EXPECT_EQ(drive.readAudio(100, 100, sectors), ReadStatus::Failed) << "past the leadout";
}

TEST(VirtualDrive, AReadAcrossTracksHoldsEachTracksToneFromItsStart) {
    // Five sectors of track 1, a data track of three, then track 3: one read covers all.
    VirtualDrive drive(*parseVirtualDisc("virtual:00:00:05,data=00:00:03,00:01:00"));
    std::vector<std::uint8_t> sectors(20 * kBytesPerFrame);
    ASSERT_EQ(drive.readAudio(0, 20, sectors), ReadStatus::Ok);
    auto tone = [](int track, std::int64_t sample) {
        return std::lround(8000.0 *
                           std::sin(2.0 * 3.14159265358979323846 *
                                    VirtualDrive::toneFrequency(track) * double(sample) / 44100.0));
    };
    for (std::int64_t i = 0; i < 20 * 588; ++i) {
        const auto left = static_cast<std::int16_t>(sectors[i * 4] | (sectors[i * 4 + 1] << 8));
        ASSERT_EQ(left, drive.sampleAt(i)) << "sample " << i;
        const long expected = i < 5 * 588 ? tone(1, i) : i < 8 * 588 ? 0 : tone(3, i - 8 * 588);
        ASSERT_NEAR(left, expected, 1) << "sample " << i;
    }
}

}  // namespace
}  // namespace sonarch
