// The physical drive backend against a fake drive that takes time as a real one does:
// reading at 8x, seeking, spending its own retries on a scratch. The drive's time is the
// clock of the whole playback (see DriveTime), and what was heard is recorded to WAV, so
// the tests measure the silence a listener hears and the position the player shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "audio/wav_output.h"
#include "device/mci/cd_audio_device.h"
#include "device/drives/cd_drive.h"
#include "device/mci/msf.h"
#include "drive_time.h"
#include "fake_cd_drive.h"
#include "support/cd_text_packs.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using namespace std::chrono_literals;
using sonarch::testing::cdTextPacks;
using sonarch::testing::DriveTime;
using sonarch::testing::readWav;
using sonarch::testing::TempDir;
using sonarch::testing::writeText;

constexpr std::int64_t kFramesPerSector = kSamplesPerFrame;  // sample frames
constexpr std::int64_t kSampleFramesPerSecond = kSampleRate;

fakecd::Drive& fake() {
    return fakecd::Drive::instance();
}

// Three tracks of a minute each.
fakecd::Disc threeTracks() {
    return {{{0, true}, {4500, true}, {9000, true}}, 13500, std::nullopt, {}};
}

// A stretch of sound in a recording: frames [first, first + length) of the recording carry
// the disc's sample frames from `disc` on.
struct Sound {
    std::int64_t first = 0;
    std::int64_t length = 0;
    std::int64_t disc = 0;
};

// What a recording of the marked disc holds: its stretches of sound, checked against the
// disc, with silence between them.
struct Recording {
    std::vector<Sound> sounds;
    std::int64_t frames = 0;

    std::int64_t silenceAfterFirstSound() const {
        std::int64_t sound = 0;
        for (const Sound& s : sounds) {
            sound += s.length;
        }
        return sounds.empty() ? 0 : frames - sounds.front().first - sound;
    }
    // The disc frame heard at recording frame `at`, or, in silence, the last heard before.
    std::int64_t discFrameAt(std::int64_t at, bool* inSilence = nullptr) const {
        std::int64_t last = -1;
        for (const Sound& s : sounds) {
            if (at < s.first) {
                break;
            }
            if (at < s.first + s.length) {
                if (inSilence) {
                    *inSilence = false;
                }
                return s.disc + (at - s.first);
            }
            last = s.disc + s.length - 1;
        }
        if (inSilence) {
            *inSilence = true;
        }
        return last;
    }
    // The first disc frame heard after recording frame `at`, or -1.
    std::int64_t discFrameAfter(std::int64_t at) const {
        for (const Sound& s : sounds) {
            if (s.first > at) {
                return s.disc;
            }
        }
        return -1;
    }
};

// Splits a recording into stretches of sound and checks each against the disc: every
// sound frame must be the disc's, in order.
Recording analyse(const std::vector<std::int16_t>& samples) {
    Recording recording;
    recording.frames = std::int64_t(samples.size() / 2);
    auto zero = [&](std::int64_t f) {
        return f >= 0 && f < recording.frames && samples[std::size_t(f) * 2] == 0 &&
               samples[std::size_t(f) * 2 + 1] == 0;
    };
    // The disc's own sound has a zero frame now and then, never two in a row.
    auto silent = [&](std::int64_t f) { return zero(f) && (zero(f - 1) || zero(f + 1)); };
    std::int64_t f = 0;
    while (f < recording.frames) {
        if (silent(f)) {
            ++f;
            continue;
        }
        const std::int64_t first = f;
        while (f < recording.frames && !silent(f)) {
            ++f;
        }
        std::optional<std::int64_t> disc;
        for (std::int64_t g = first; g < f && !disc; ++g) {
            if (const auto sector = fakecd::markedSector(samples[std::size_t(g) * 2],
                                                         samples[std::size_t(g) * 2 + 1])) {
                disc = *sector * kFramesPerSector - (g - first);
            }
        }
        if (!disc) {
            ADD_FAILURE() << "a stretch of sound without a sector's mark at frame " << first;
            continue;
        }
        const Sound sound{first, f - first, *disc};
        const auto sector = static_cast<std::int32_t>(sound.disc / kFramesPerSector);
        const std::int64_t skip = sound.disc - sector * kFramesPerSector;
        const auto data = fakecd::sectorData(
            sector, int((skip + sound.length + kFramesPerSector - 1) / kFramesPerSector));
        for (std::int64_t i = 0; i < sound.length; ++i) {
            const std::size_t at = std::size_t(skip + i) * 4;
            const auto left = static_cast<std::int16_t>(data[at] | data[at + 1] << 8);
            if (samples[std::size_t(first + i) * 2] != left) {
                ADD_FAILURE() << "recording frame " << first + i << " is not disc frame "
                              << sound.disc + i;
                break;
            }
        }
        if (!recording.sounds.empty()) {
            const Sound& before = recording.sounds.back();
            EXPECT_GE(sound.disc, before.disc + before.length) << "heard out of order";
        }
        recording.sounds.push_back(sound);
    }
    return recording;
}

// The player's device playing the fake drive into a WAV file, all on the drive's time.
class TimedDrive : public ::testing::Test {
protected:
    void SetUp() override {
        m_path = m_dir.file("sr0");
        writeText(m_path, "");
        fake().install(m_path);
        fake().setMarkedSectors(true);
    }

    void TearDown() override {
        // Threads may still wait on the drive, which needs its time to pass.
        m_time.runInBackground();
        m_device.reset();
        if (m_wav) {
            m_wav->finish();
        }
        m_drive.reset();
        EXPECT_TRUE(CdDrive::waitForEndedDrives()) << "a drive's thread never ended";
        EXPECT_TRUE(fake().waitUntilClosed()) << "a handle on the drive was left open";
        m_time.stopRunning();
        EXPECT_EQ(m_time.restlessSteps(), 0) << "a thread never let the drive's time pass";
        EXPECT_EQ(fake().counts().heldTooLong, 0);
        fake().install("");
    }

    // A disc in a drive that spends `failure` of its own retries on a sector it cannot read.
    void insertDisc(std::chrono::microseconds failure) {
        fake().setTiming(fakecd::realisticTiming(failure));
        fake().insert(threeTracks());
        m_time.run(1500);  // spun up
    }

    void openDevice(std::chrono::milliseconds lookInterval = std::chrono::hours(1)) {
        CdDrive::Settings settings;
        settings.deviceFolder = m_dir.file("");
        settings.lookInterval = lookInterval;
        settings.clock = &m_time;
        auto drive = CdDrive::open(m_path, settings);
        ASSERT_TRUE(drive.ok()) << drive.error();
        m_drive = std::move(drive.value());
        m_time.runInBackground();
        static_cast<CdDrive&>(*m_drive).lookNow();
        m_time.stopRunning();
        ASSERT_TRUE(m_drive->mediaPresent());
        auto wav = WavOutput::create(m_dir.file("heard.wav"), m_time);
        ASSERT_TRUE(wav.ok()) << wav.error();
        m_wav = std::move(wav.value());
        m_device = std::make_unique<CdAudioDevice>(*m_drive, *m_wav);
        send("open cdaudio alias cd wait shareable");
        send("set cd time format msf");
    }

    std::string send(const std::string& command) { return m_device->send(command, 64).reply; }

    void playFrom(std::int32_t sector) {
        ASSERT_EQ(m_device->send("play cd from " + formatMsf(sector + kAddressOffset), 0).code, 0);
        m_playedAtMs = m_time.nowMs();
    }

    std::int32_t positionSector() {
        const auto address = parseMsf(send("status cd position"));
        return address ? *address - kAddressOffset : -1;
    }

    // Lets the disc play for `ms` of the drive's time, noting the position shown every
    // tenth of a second.
    void playFor(std::int64_t ms) {
        for (std::int64_t t = 0; t < ms; t += 100) {
            m_time.run(100);
            m_shown.push_back({m_time.nowMs() - m_playedAtMs, positionSector()});
        }
    }

    // Stops, and checks what was recorded against the disc and the positions shown.
    Recording stopAndListen() {
        send("stop cd");
        m_time.runInBackground();
        m_device.reset();
        m_wav->finish();
        m_time.stopRunning();
        const Recording recording = analyse(readWav(m_dir.file("heard.wav")).samples);
        // The position shown is the sector heard at that moment, or in silence one between
        // the last sector heard and the next.
        for (const auto& [ms, sector] : m_shown) {
            const std::int64_t at = ms * kSampleFramesPerSecond / 1000;
            if (at >= recording.frames) {
                break;
            }
            bool inSilence = false;
            const std::int64_t heard = recording.discFrameAt(at, &inSilence);
            const std::int64_t next = inSilence ? recording.discFrameAfter(at) : heard;
            EXPECT_GE(sector, heard / kFramesPerSector - 1) << "at " << ms << " ms";
            if (next >= 0) {
                EXPECT_LE(sector, next / kFramesPerSector + 1)
                    << "the position ran ahead of the sound at " << ms << " ms";
            }
        }
        return recording;
    }

    CdDrive& drive() { return static_cast<CdDrive&>(*m_drive); }

    // Plays through `sectors` damaged sectors on a drive that spends `failure` on each
    // failed read; returns the silence heard beyond the damaged sectors, in sample frames.
    std::int64_t playThroughDamage(int sectors, std::chrono::milliseconds failure) {
        insertDisc(failure);
        std::set<std::int32_t> bad;
        for (int i = 0; i < sectors; ++i) {
            bad.insert(kDamageAt + i);
        }
        fake().setBadSectors(bad);
        openDevice();
        playFrom(kPlayFrom);
        playFor(17'000);
        const Recording heard = stopAndListen();
        EXPECT_FALSE(heard.sounds.empty());
        if (heard.sounds.empty()) {
            return 0;
        }
        const std::int64_t beyond = heard.silenceAfterFirstSound() - sectors * kFramesPerSector;
        EXPECT_GE(beyond, 0) << "the damaged sectors themselves cannot be heard";
        // Play goes on past the damage to the end of what was played.
        const Sound& last = heard.sounds.back();
        EXPECT_GE(last.disc, (kDamageAt + sectors) * kFramesPerSector);
        EXPECT_GE(last.first + last.length, heard.frames - kSampleFramesPerSecond / 10);
        return beyond;
    }

    // Twenty seconds into the first track, where the play starts, and damage eight seconds
    // later: the read-ahead is full by then.
    static constexpr std::int32_t kPlayFrom = 1500;
    static constexpr std::int32_t kDamageAt = kPlayFrom + 8 * kFramesPerSecond + 13;

    TempDir m_dir;
    std::string m_path;
    DriveTime m_time;
    std::unique_ptr<Drive> m_drive;
    std::unique_ptr<WavOutput> m_wav;
    std::unique_ptr<CdAudioDevice> m_device;
    std::int64_t m_playedAtMs = 0;
    std::vector<std::pair<std::int64_t, std::int32_t>> m_shown;
};

struct Damage {
    int sectors;
    std::chrono::milliseconds failure;
};

class DamagedDisc : public TimedDrive, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedDisc, CostsAboutItsOwnLengthInSilenceAndThePositionFollowsTheSound) {
    const Damage damage = GetParam();
    const std::int64_t beyond = playThroughDamage(damage.sectors, damage.failure);
    std::printf(
        "damage of %d sectors, %lld ms a failure: %.2f s of silence beyond it, "
        "%d failed reads\n",
        damage.sectors, static_cast<long long>(damage.failure.count()),
        double(beyond) / kSampleFramesPerSecond, fake().counts().failedReads);
    EXPECT_LE(beyond, 2 * kSampleFramesPerSecond);
}

INSTANTIATE_TEST_SUITE_P(EveryLengthAndDrive, DamagedDisc,
                         ::testing::Values(Damage{6, 500ms}, Damage{6, 1000ms}, Damage{6, 1500ms},
                                           Damage{15, 500ms}, Damage{15, 1000ms},
                                           Damage{15, 1500ms}, Damage{30, 500ms},
                                           Damage{30, 1000ms}, Damage{30, 1500ms}),
                         [](const ::testing::TestParamInfo<Damage>& info) {
                             return std::to_string(info.param.sectors) + "Sectors" +
                                    std::to_string(info.param.failure.count()) + "MsAFailure";
                         });

TEST_F(TimedDrive, ADriveThatDoesNotNameTheFailedSectorIsWalkedPastToo) {
    fake().setNamesFailedSector(false);
    EXPECT_LE(playThroughDamage(15, 1000ms), 2 * kSampleFramesPerSecond);
}

TEST_F(TimedDrive, SectorsThatReadOnARetryAreAllHeard) {
    insertDisc(1s);
    std::map<std::int32_t, int> flaky;
    for (int i = 0; i < 20; ++i) {
        flaky[kPlayFrom + 3 * kFramesPerSecond + i * 2 * kFramesPerSecond + 7 * i] = 1 + i % 2;
    }
    fake().setFlakySectors(flaky);
    openDevice();
    playFrom(kPlayFrom);
    playFor(45'000);
    const Recording heard = stopAndListen();
    ASSERT_EQ(heard.sounds.size(), 1u) << "a gap in the sound";
    EXPECT_GT(heard.sounds.front().disc + heard.sounds.front().length,
              (flaky.rbegin()->first + 1) * kFramesPerSector);
    EXPECT_EQ(fake().counts().failedReads, 30) << "each read until it came";
}

TEST_F(TimedDrive, SteadyPlayReadsEachSectorOnceInOrder) {
    insertDisc(1s);
    openDevice();
    playFrom(kPlayFrom);
    fake().resetCounts();
    playFor(20'000);
    const std::vector<fakecd::Read> reads = fake().readLog();
    ASSERT_FALSE(reads.empty());
    for (std::size_t i = 1; i < reads.size(); ++i) {
        EXPECT_EQ(reads[i].sector, reads[i - 1].sector + reads[i - 1].count)
            << "read " << i << " does not go on from the last";
    }
    // Once the read-ahead is full, the drive is read as fast as the sound is heard.
    const auto steady = std::count_if(reads.begin(), reads.end(), [&](const fakecd::Read& r) {
        return r.startUs >= reads.front().startUs + 10'000'000;
    });
    std::printf("steady play: %.1f reads a second of %d sectors\n", double(steady) / 10.0,
                reads.back().count);
    EXPECT_LE(steady, 10 * kFramesPerSecond / reads.back().count + 2);
    const Recording heard = stopAndListen();
    EXPECT_EQ(heard.sounds.size(), 1u);
}

TEST_F(TimedDrive, TheReadAheadHoldsSecondsOfSoundSoonAfterASeek) {
    insertDisc(1s);
    openDevice();
    playFrom(kPlayFrom);
    playFor(5'000);
    const std::int32_t target = 9000 + 10 * kFramesPerSecond;
    playFrom(target);
    std::int64_t filledMs = -1;
    std::int32_t aheadAfterASecond = 0;
    for (std::int64_t ms = 100; ms <= 3000; ms += 100) {
        m_time.run(100);
        const std::int32_t ahead = fake().readUpTo() - positionSector();
        if (ms == 1000) {
            aheadAfterASecond = ahead;
        }
        if (filledMs < 0 && ahead >= 3 * kFramesPerSecond) {
            filledMs = ms;
        }
    }
    std::printf("after a seek: %.1f s of sound read ahead after 1 s, 3 s of it after %lld ms\n",
                double(aheadAfterASecond) / kFramesPerSecond, static_cast<long long>(filledMs));
    EXPECT_GE(filledMs, 0);
    EXPECT_LE(filledMs, 1500);
}

TEST_F(TimedDrive, ARefusedEjectLeavesTheDiscPlayingWhereItWas) {
    insertDisc(1s);
    openDevice();
    const std::uint64_t generation = m_drive->discGeneration();
    playFrom(kPlayFrom);
    playFor(4'000);
    fake().setRefusesEject(true);
    EXPECT_EQ(m_device->send("set cd door open", 0).code, 0);
    EXPECT_EQ(send("status cd door"), "opening");
    EXPECT_EQ(send("status cd mode"), "playing") << "the disc plays on while the tray is asked";
    playFor(4'000);
    EXPECT_EQ(fake().counts().refusedEjects, 1);
    EXPECT_EQ(send("status cd door"), "closed");
    EXPECT_EQ(send("status cd mode"), "playing");
    EXPECT_EQ(send("status cd media present"), "true");
    EXPECT_EQ(m_drive->discGeneration(), generation) << "the same disc, not a new one";
    const Recording heard = stopAndListen();
    ASSERT_EQ(heard.sounds.size(), 1u) << "a gap in the sound";
    EXPECT_EQ(heard.sounds.front().disc, kPlayFrom * kFramesPerSector);
    EXPECT_GE(heard.sounds.front().length, 75 * kSampleFramesPerSecond / 10);
}

TEST_F(TimedDrive, AnEjectThatOpensTheTrayEndsThePlay) {
    insertDisc(1s);
    openDevice();
    playFrom(kPlayFrom);
    playFor(2'000);
    EXPECT_EQ(m_device->send("set cd door open", 0).code, 0);
    playFor(3'000);
    EXPECT_EQ(fake().tray(), fakecd::Tray::Open);
    EXPECT_EQ(send("status cd door"), "open");
    EXPECT_EQ(send("status cd mode"), "open");
}

TEST_F(TimedDrive, TheWatcherNeverWaitsBehindAFailingRead) {
    insertDisc(1500ms);
    std::set<std::int32_t> bad;
    for (int i = 0; i < 30; ++i) {
        bad.insert(kDamageAt + i);
    }
    fake().setBadSectors(bad);
    // The watcher looks by itself, often.
    openDevice(10ms);
    playFrom(kPlayFrom);
    playFor(14'000);
    EXPECT_GT(fake().counts().statusQueries, 10);
    EXPECT_LE(fake().counts().longestStatusWait, 5ms);
}

TEST_F(TimedDrive, TheEndOfTheDiscComesAfterItsLastSectorWasHeard) {
    insertDisc(1500ms);
    std::set<std::int32_t> bad;
    for (int i = 0; i < 30; ++i) {
        bad.insert(13500 - 8 * kFramesPerSecond + i);
    }
    fake().setBadSectors(bad);
    openDevice();
    playFrom(13500 - 12 * kFramesPerSecond);
    std::int64_t stoppedAtMs = -1;
    for (std::int64_t ms = 100; ms <= 16'000 && stoppedAtMs < 0; ms += 100) {
        m_time.run(100);
        if (send("status cd mode") == "stopped") {
            stoppedAtMs = ms;
        }
    }
    ASSERT_GE(stoppedAtMs, 0);
    const Recording heard = stopAndListen();
    ASSERT_FALSE(heard.sounds.empty());
    const Sound& last = heard.sounds.back();
    EXPECT_EQ(last.disc + last.length, 13500 * kFramesPerSector) << "the last sector was heard";
    EXPECT_GE(stoppedAtMs * kSampleFramesPerSecond / 1000, last.first + last.length)
        << "stopped before the end was heard";
}

TEST_F(TimedDrive, AToolWaitsWhileADiscGetsReadyAndNoLonger) {
    fake().setTiming(fakecd::realisticTiming());
    fakecd::Disc disc = threeTracks();
    disc.cdText = cdTextPacks({{0x09, {"Album", "One", "Two", "Three"}, {"Band", "", "", ""}}});
    fake().insert(disc);  // spinning up for a while
    CdDrive::Settings settings;
    settings.deviceFolder = m_dir.file("");
    settings.lookInterval = 50ms;
    settings.clock = &m_time;
    auto opened = CdDrive::open(m_path, settings);
    ASSERT_TRUE(opened.ok()) << opened.error();
    m_drive = std::move(opened.value());
    m_time.runInBackground();
    drive().waitUntilSettled();
    EXPECT_TRUE(drive().becomingReady());
    EXPECT_FALSE(drive().mediaPresent());
    EXPECT_TRUE(drive().waitUntilReady(30s));
    EXPECT_TRUE(drive().mediaPresent());
    EXPECT_EQ(drive().discText().title, "Album") << "read from the lead-in with the table";

    // A disc the drive never gets ready is given up on after the time allowed.
    fake().setSpinningUp(true);
    drive().lookNow();
    const std::int64_t from = m_time.nowMs();
    EXPECT_FALSE(drive().waitUntilReady(2s));
    EXPECT_GE(m_time.nowMs() - from, 2000);
    m_time.stopRunning();
}

TEST_F(TimedDrive, ADriveWithoutAnAccurateStreamIsReadWithOverlapChecks) {
    insertDisc(1s);
    fake().setAccurateStream(false);
    openDevice();
    playFrom(kPlayFrom);
    fake().resetCounts();
    playFor(3'000);
    const Recording heard = stopAndListen();
    ASSERT_EQ(heard.sounds.size(), 1u);
    // Overlapping reads: more read than heard, and every sound frame the disc's own.
    EXPECT_GT(fake().counts().sectorsRead, heard.sounds.front().length / kFramesPerSector);
}

}  // namespace
}  // namespace sonarch
