// The physical drive backend, run against the fake drive of fake_cd_drive.h: the commands
// it sends are answered as a drive behind the kernel's sr driver answers them.

#include "device/drives/cd_drive.h"
#include "device/drives/sector_reader.h"
#include "device/drives/switchable_drive.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include "audio/paced_output.h"
#include "device/drives/drive_factory.h"
#include "device/mci/cd_audio_device.h"
#include "fake_cd_drive.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using sonarch::testing::discKey;
using sonarch::testing::TempDir;
using sonarch::testing::writeText;

// At 8x a drive reads 600 sectors a second; half a second of sound is what the output
// holds by itself.
constexpr int kSectorsInHalfASecondAt8x = 300;

// Three tracks of a minute each.
fakecd::Disc threeTracks() {
    return {{{0, true}, {4500, true}, {9000, true}}, 13500, std::nullopt, {}};
}

class PhysicalDrive : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.file("sr0");
        writeText(m_path, "");  // so that a look into the folder finds it
        fake().install(m_path);
        fake().insert(threeTracks());
    }

    void TearDown() override {
        fake().release();
        m_drive.reset();
        EXPECT_TRUE(CdDrive::waitForEndedDrives()) << "a drive's thread never ended";
        EXPECT_TRUE(fake().waitUntilClosed()) << "a handle on the drive was left open";
        fake().install("");
    }

    static fakecd::Drive& fake() { return fakecd::Drive::instance(); }

    // The drive, looking only when asked to, so that the tests decide when it looks.
    CdDrive& open(int readAhead = 0) {
        CdDrive::Settings settings;
        settings.deviceFolder = m_dir.file("");
        settings.lookInterval = std::chrono::hours(1);
        settings.readAheadSectors = readAhead;
        auto drive = CdDrive::open(m_path, settings);
        EXPECT_TRUE(drive.ok()) << drive.error();
        m_drive = std::move(drive.value());
        auto& cd = static_cast<CdDrive&>(*m_drive);
        cd.lookNow();
        return cd;
    }

    // Reads [from, from + count) as the playback thread does, eight sectors at a time.
    std::vector<std::uint8_t> play(CdDrive& drive, std::int32_t from, int count,
                                   std::vector<int>* costs = nullptr) {
        std::vector<std::uint8_t> heard;
        std::vector<std::uint8_t> piece(8 * kBytesPerFrame);
        for (int done = 0; done < count; done += 8) {
            const int n = std::min(8, count - done);
            EXPECT_EQ(drive.readAudio(from + done, n, piece), ReadStatus::Ok) << from + done;
            heard.insert(heard.end(), piece.begin(), piece.begin() + n * kBytesPerFrame);
            if (costs) {
                costs->push_back(fake().counts().sectorsRead);
            }
        }
        return heard;
    }

    static bool isSilence(const std::uint8_t* bytes) {
        return std::all_of(bytes, bytes + kBytesPerFrame, [](std::uint8_t b) { return b == 0; });
    }

    TempDir m_dir;
    std::string m_path;
    std::unique_ptr<Drive> m_drive;
};

TEST_F(PhysicalDrive, SoundComesWithinHalfASecondOfASeekAt8x) {
    CdDrive& drive = open();
    EXPECT_EQ(play(drive, 1000, 8), fakecd::sectorData(1000, 8));
    fake().resetCounts();
    EXPECT_EQ(play(drive, 9500, 8), fakecd::sectorData(9500, 8));
    EXPECT_LE(fake().counts().sectorsRead, kSectorsInHalfASecondAt8x);
}

TEST_F(PhysicalDrive, SteadyPlayNeverWaitsLongerThanTheOutputHolds) {
    CdDrive& drive = open();
    fake().resetCounts();
    std::vector<int> costs;
    // Across the border of two tracks.
    EXPECT_EQ(play(drive, 3000, 3000, &costs), fakecd::sectorData(3000, 3000));
    // The longest stretch in which the drive, reading at 8x, falls behind the sound.
    long worst = 0;
    long lowest = 0;
    for (std::size_t i = 0; i < costs.size(); ++i) {
        const long ahead = costs[i] - 8L * 8 * long(i + 1);
        worst = std::max(worst, ahead - lowest);
        lowest = std::min(lowest, ahead);
    }
    EXPECT_LE(worst, kSectorsInHalfASecondAt8x);
}

TEST_F(PhysicalDrive, ReadsSecondsAheadOfThePlayback) {
    const int ahead = CdDrive::Settings{}.readAheadSectors;
    ASSERT_GE(ahead, 3 * kFramesPerSecond);
    CdDrive& drive = open(ahead);
    // In the last track, beyond where opening the reader reads.
    EXPECT_EQ(play(drive, 9500, 8), fakecd::sectorData(9500, 8));
    // Once the drive has read this far, three seconds wait in the drive.
    ASSERT_TRUE(fake().waitForRead(9508 + 3 * kFramesPerSecond));
    // The drive stops answering: three seconds are heard all the same.
    fake().hold();
    EXPECT_EQ(play(drive, 9508, 3 * kFramesPerSecond),
              fakecd::sectorData(9508, 3 * kFramesPerSecond));
    fake().release();
    EXPECT_EQ(fake().counts().heldTooLong, 0);
}

TEST_F(PhysicalDrive, ABadSectorIsHeardAsSilenceAndPlayGoesOn) {
    CdDrive& drive = open();
    play(drive, 1800, 8);
    fake().setBadSectors({2000});
    fake().resetCounts();
    const auto heard = play(drive, 1808, 400);
    const auto disc = fakecd::sectorData(1808, 400);
    for (int i = 0; i < 400; ++i) {
        const std::int32_t sector = 1808 + i;
        const auto at = std::size_t(i) * kBytesPerFrame;
        if (sector == 2000) {
            EXPECT_TRUE(isSilence(heard.data() + at));
        } else {
            EXPECT_TRUE(std::equal(heard.begin() + at, heard.begin() + at + kBytesPerFrame,
                                   disc.begin() + at))
                << "sector " << sector;
        }
    }
    EXPECT_LE(fake().counts().failedReads, 3);
    EXPECT_TRUE(drive.mediaPresent());
}

TEST_F(PhysicalDrive, APulledDiscIsSeenAtOnceAndNotReadOnAndOn) {
    CdDrive& drive = open();
    play(drive, 1000, 8);
    const std::uint64_t before = drive.discGeneration();
    fake().remove();  // with the tray shut, reads fail with EIO, not ENOMEDIUM
    fake().resetCounts();
    // What paranoia already holds is heard; then the drive finds the disc gone.
    std::vector<std::uint8_t> piece(8 * kBytesPerFrame);
    ReadStatus status = ReadStatus::Ok;
    for (std::int32_t sector = 1008; sector < 1808 && status == ReadStatus::Ok; sector += 8) {
        status = drive.readAudio(sector, 8, piece);
    }
    EXPECT_EQ(status, ReadStatus::NoDisc);
    EXPECT_FALSE(drive.mediaPresent());
    EXPECT_NE(drive.discGeneration(), before);
    EXPECT_LE(fake().counts().failedReads, 5);
}

TEST(EnhancedCd, TheAudioSessionEndsBeforeTheDataSessionsLeadIn) {
    const DiscToc enhanced{{{1, 0, true}, {2, 4500, true}, {3, 20000, false}}, 26000};
    EXPECT_EQ(audioSessionEnd(enhanced, 20000), 20000 - 11400);
    EXPECT_EQ(audioSessionEnd(enhanced, 0), 0) << "one session";
    EXPECT_EQ(audioSessionEnd(enhanced, 100), 0) << "too early to be a second session";
    EXPECT_EQ(audioSessionEnd(enhanced, 15000), 0) << "would end before the last audio track";
    const DiscToc mixedMode{{{1, 0, false}, {2, 4500, true}, {3, 9000, true}}, 13500};
    EXPECT_EQ(audioSessionEnd(mixedMode, 12000), 0) << "the data track comes first";
    const DiscToc audioOnly{{{1, 0, true}, {2, 4500, true}}, 9000};
    EXPECT_EQ(audioSessionEnd(audioOnly, 20000), 0);
}

TEST_F(PhysicalDrive, EnhancedCdEndsItsLastAudioTrackWithItsSession) {
    fake().remove();
    fake().insert({{{0, true}, {4500, true}, {20000, false}}, 26000, 20000, {}});
    CdDrive& drive = open();
    ASSERT_TRUE(drive.mediaPresent());
    EXPECT_EQ(drive.readToc()->audioSessionEnd, 8600);
    {
        ManualClock clock;
        CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
        device.send("open cdaudio alias cd", 0);
        // 8600 - 4500 sectors, not up to the data track at 20000.
        EXPECT_EQ(device.send("status cd length track 2", 32).reply, "00:54:50");
        EXPECT_EQ(device.send("status cd length track 1", 32).reply, "01:00:00");
    }
    // The key is built from the table as the drive gives it: starts and leadout, 150 on.
    EXPECT_EQ(discKey(drive), "150 4650 20150 26150");
    fake().resetCounts();
    std::vector<std::uint8_t> piece(8 * kBytesPerFrame, 0xEE);
    ASSERT_EQ(drive.readAudio(12000, 8, piece), ReadStatus::Ok);
    EXPECT_TRUE(std::all_of(piece.begin(), piece.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(fake().counts().readCommands, 0) << "the gap between the sessions is not read";
}

TEST_F(PhysicalDrive, EjectLetsGoOfTheDriveFirstAndSaysWhenTheTrayStaysShut) {
    CdDrive& drive = open();
    play(drive, 1000, 8);  // the reader holds a handle of its own
    ASSERT_TRUE(drive.openDoor());
    drive.lookNow();
    EXPECT_EQ(fake().tray(), fakecd::Tray::Open);
    EXPECT_TRUE(drive.isDoorOpen());
    EXPECT_FALSE(drive.mediaPresent());

    fake().pushTray(fakecd::Tray::Closed);
    drive.lookNow();
    ASSERT_TRUE(drive.mediaPresent());
    play(drive, 1000, 8);
    // Another program holds the drive: the kernel refuses to eject.
    const int other = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(other, 0);
    drive.openDoor();
    drive.lookNow();
    EXPECT_EQ(fake().tray(), fakecd::Tray::Closed);
    EXPECT_FALSE(drive.isDoorOpen());
    EXPECT_TRUE(drive.mediaPresent()) << "the disc is still there";
    ::close(other);
    m_drive.reset();
    EXPECT_TRUE(CdDrive::waitForEndedDrives());
    EXPECT_EQ(fake().counts().openHandles, 0) << "the refused eject left its handle open";
}

TEST_F(PhysicalDrive, TheTrayIsWhereTheDriveSaysItIs) {
    CdDrive& drive = open();
    ManualClock clock;
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    device.send("open cdaudio alias cd", 0);
    EXPECT_FALSE(drive.isDoorOpen());

    fake().pushTray(fakecd::Tray::Open);  // the drive's own button
    drive.lookNow();
    EXPECT_TRUE(drive.isDoorOpen());
    EXPECT_EQ(device.send("status cd mode", 32).reply, "open");
    EXPECT_EQ(device.send("status cd media present", 32).reply, "false");

    fake().pushTray(fakecd::Tray::Closed);  // pushed shut by hand
    drive.lookNow();
    EXPECT_FALSE(drive.isDoorOpen());
    EXPECT_EQ(device.send("status cd media present", 32).reply, "true");

    // A laptop's tray cannot pull itself in.
    fake().setCanCloseTray(false);
    fake().pushTray(fakecd::Tray::Open);
    drive.lookNow();
    EXPECT_EQ(device.send("set cd door closed", 0).code, 0);
    drive.lookNow();
    EXPECT_TRUE(drive.isDoorOpen());
    EXPECT_EQ(device.send("status cd mode", 32).reply, "open");
}

TEST_F(PhysicalDrive, ADiscChangeNeedsTheDriveToReportADisc) {
    CdDrive& drive = open();
    ASSERT_TRUE(drive.mediaPresent());
    const std::uint64_t first = drive.discGeneration();

    // Another program polling the drive took the kernel's media-changed flag.
    fake().pushTray(fakecd::Tray::Open);
    fake().consumeMediaChanged();
    drive.lookNow();
    EXPECT_FALSE(drive.mediaPresent());
    EXPECT_FALSE(drive.readToc());

    fake().remove();
    fake().insert({{{0, true}, {3000, true}}, 6000, std::nullopt, {}});
    fake().pushTray(fakecd::Tray::Closed);
    fake().consumeMediaChanged();
    drive.lookNow();
    ASSERT_TRUE(drive.mediaPresent());
    ASSERT_TRUE(drive.readToc());
    EXPECT_EQ(drive.readToc()->tracks.size(), 2u);
    EXPECT_EQ(drive.readToc()->leadoutSector, 6000);
    EXPECT_NE(drive.discGeneration(), first);
}

TEST_F(PhysicalDrive, EveryDiscIsReadAtAModerateSpeed) {
    CdDrive& drive = open();
    ASSERT_EQ(fake().counts().speeds.size(), 1u);
    EXPECT_GE(fake().counts().speeds[0], 8);
    EXPECT_LE(fake().counts().speeds[0], 16);
    drive.lookNow();
    EXPECT_EQ(fake().counts().speeds.size(), 1u) << "set once for each disc";

    fake().pushTray(fakecd::Tray::Open);
    drive.lookNow();
    fake().pushTray(fakecd::Tray::Closed);
    drive.lookNow();
    EXPECT_EQ(fake().counts().speeds.size(), 2u);
}

TEST_F(PhysicalDrive, NothingWaitsForTheDriveOnTheWindowsThread) {
    fake().watchThread(std::this_thread::get_id());
    {
        CdDrive::Settings settings;
        settings.readAheadSectors = 0;
        auto drive = CdDrive::open(m_path, settings);
        ASSERT_TRUE(drive.ok()) << drive.error();
        static_cast<CdDrive&>(*drive.value()).waitUntilSettled();
        ManualClock clock;
        CdAudioDevice device(*drive.value(), std::make_unique<NullOutput>(clock));
        for (const char* command :
             {"open cdaudio alias cd wait shareable", "set cd time format tmsf",
              "status cd media present", "status cd number of tracks wait",
              "status cd length track 2", "seek cd to 1", "play cd", "status cd position",
              "status cd mode", "pause cd", "stop cd wait", "set cd door open", "status cd mode",
              "set cd door closed", "close all"}) {
            device.send(command, 64);
        }
        static_cast<CdDrive&>(*drive.value()).waitUntilSettled();  // the tray is back in
    }
    // Now the drive stops answering for good: opening, playing and the end come all the same,
    // through the swappable drive the player plays from.
    fake().resetCounts();
    {
        auto drive = CdDrive::open(m_path);
        ASSERT_TRUE(drive.ok()) << drive.error();
        static_cast<CdDrive&>(*drive.value()).waitUntilSettled();
        SwitchableDrive player(std::move(drive.value()));
        ManualClock clock;
        CdAudioDevice device(player, std::make_unique<NullOutput>(clock));
        device.send("open cdaudio alias cd wait shareable", 0);
        device.send("set cd time format tmsf", 0);
        EXPECT_EQ(device.send("play cd from 2", 0).code, 0);
        clock.advance(200);
        fake().hold();
        device.send("status cd position", 64);
        device.send("set cd door open", 0);
        device.send("status cd mode", 64);
    }
    fake().watchThread(std::nullopt);
    fake().release();
    EXPECT_EQ(fake().counts().callsFromWatchedThread, 0);
}

TEST_F(PhysicalDrive, APermissionProblemIsSaidInPlainWords) {
    fake().setPermissionDenied(true);
    const std::string expected = "The drive " + m_path +
                                 " cannot be opened: permission denied (the user may need to be "
                                 "in the group cdrom).";
    CdDrive::Settings settings;
    settings.deviceFolder = m_dir.file("");
    auto found = CdDrive::open("", settings);
    ASSERT_FALSE(found.ok());
    EXPECT_EQ(found.error(), expected);
    auto named = openDrive(m_path);
    ASSERT_FALSE(named.ok());
    EXPECT_EQ(named.error(), expected);

    TempDir empty;
    settings.deviceFolder = empty.file("");
    auto none = CdDrive::open("", settings);
    ASSERT_FALSE(none.ok());
    EXPECT_EQ(none.error(), "No CD drive was found on this computer.");
}

TEST_F(PhysicalDrive, FindsTheSystemsDriveInItsFolder) {
    CdDrive::Settings settings;
    settings.deviceFolder = m_dir.file("");
    writeText(m_dir.file("sr"), "");
    writeText(m_dir.file("srx"), "");
    auto drive = CdDrive::open("", settings);
    ASSERT_TRUE(drive.ok()) << drive.error();
    m_drive = std::move(drive.value());
    static_cast<CdDrive&>(*m_drive).lookNow();
    EXPECT_TRUE(m_drive->mediaPresent());
}

TEST(TableOfContents, OnlyAPlausibleTableIsPlayedFrom) {
    struct Case {
        DiscToc toc;
        bool plausible;
    };
    const Case cases[] = {
        {{{{1, 0, true}, {2, 4500, true}}, 9000}, true},
        {{{{1, 0, true}, {2, 4500, true}}, 4500}, false},  // leadout too early
        {{{{1, 4500, true}, {2, 0, true}}, 9000}, false},  // starts fall
        {{{{1, 0, true}, {3, 4500, true}}, 9000}, false},  // a number missing
        {{{{0, 0, true}}, 9000}, false},                   // track 0
        {{{{1, -10, true}}, 9000}, false},                 // before the disc
        {{{{1, 0, true}}, 100 * 60 * 75}, false},          // 100 minutes
        {{{}, 9000}, false},                               // no tracks
    };
    for (const Case& c : cases) {
        EXPECT_EQ(tocIsPlausible(c.toc), c.plausible)
            << c.toc.tracks.size() << " tracks, leadout " << c.toc.leadoutSector;
    }
}

TEST_F(PhysicalDrive, ADriveGivingANonsenseTableHasNoDiscToPlay) {
    fake().remove();
    fake().insert({{{0, true}, {9000, true}, {4500, true}}, 13500, std::nullopt, {}});
    CdDrive& drive = open();
    EXPECT_FALSE(drive.mediaPresent());
    EXPECT_FALSE(drive.readToc());
}

TEST_F(PhysicalDrive, ADriveThatCannotReadAudioIsTriedOncePerDisc) {
    fake().setReadsAudio(false);
    CdDrive& drive = open();
    ASSERT_TRUE(drive.mediaPresent());
    fake().resetCounts();
    std::vector<std::uint8_t> piece(8 * kBytesPerFrame);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(drive.readAudio(1000 + 8 * i, 8, piece), ReadStatus::Failed);
    }
    const int once = fake().counts().opens;
    EXPECT_LE(once, 1);
    fake().pushTray(fakecd::Tray::Open);
    drive.lookNow();
    fake().pushTray(fakecd::Tray::Closed);
    drive.lookNow();
    fake().resetCounts();
    EXPECT_EQ(drive.readAudio(1000, 8, piece), ReadStatus::Failed);
    EXPECT_LE(fake().counts().opens, 1) << "tried again for the disc put back";
}

TEST(SampleOrder, PairsAreSwappedOnlyOnABigEndianHost) {
    std::vector<std::uint8_t> bytes{0x12, 0x34, 0x56, 0x78};
    samplesToLittleEndian(bytes, std::endian::little);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78}));
    samplesToLittleEndian(bytes, std::endian::big);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x34, 0x12, 0x78, 0x56}));
}

}  // namespace
}  // namespace sonarch
