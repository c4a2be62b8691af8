// What the device plays ends up in a WAV output on a manual clock: exactly the image's
// samples for the stretch of disc heard, in order, and nothing else.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "audio/wav_output.h"
#include "device/drives/drive_factory.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;

const std::vector<ImageTrack> kMixedDisc = {{300, true}, {225, true}, {150, false}, {200, true}};
constexpr std::int64_t kTrack2Sample = 300 * 588;
constexpr std::int64_t kTrack4Sample = 675 * 588;

std::int64_t samplesIn(std::int64_t ms) {
    return ms * 44100 / 1000;
}

std::vector<std::int16_t> concat(std::vector<std::int16_t> a, const std::vector<std::int16_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A disc image played through a WAV output, opened as the player opens the device.
class ImagePlayback {
public:
    explicit ImagePlayback(const std::vector<ImageTrack>& tracks = kMixedDisc) {
        auto drive = openDrive(writeCueBin(m_dir, tracks));
        if (!drive.ok()) {
            ADD_FAILURE() << drive.error();
            return;
        }
        m_drive = std::move(drive.value());
        auto wav = WavOutput::create(m_dir.file("heard.wav"), clock);
        if (!wav.ok()) {
            ADD_FAILURE() << wav.error();
            return;
        }
        wav_ = std::move(wav.value());
        device = std::make_unique<CdAudioDevice>(*m_drive, *wav_);
        send("open cdaudio alias cd wait shareable");
        send("set cd time format tmsf");
    }

    MciResult send(const std::string& command) { return device->send(command, 256); }

    // Ends playback, as the program does when it exits, and reads what was recorded.
    WavContents finish() {
        device.reset();
        wav_->finish();
        return readWav(m_dir.file("heard.wav"));
    }

    WavOutput& wav() { return *wav_; }

private:
    TempDir m_dir;

public:
    ManualClock clock;

private:
    std::unique_ptr<Drive> m_drive;
    std::unique_ptr<WavOutput> wav_;

public:
    // Last, so it goes first: it plays from the drive into the output.
    std::unique_ptr<CdAudioDevice> device;
};

TEST(DigitalPlayback, PlayingTrackTwoRecordsItsSamples) {
    ImagePlayback p;
    ASSERT_EQ(p.send("play cd from 2").code, 0);
    p.clock.advance(1000);
    EXPECT_EQ(p.send("status cd position").reply, "02:00:01:00");
    p.clock.advance(250);
    p.send("stop cd wait");
    const WavContents wav = p.finish();
    EXPECT_TRUE(wav.headerOk);
    EXPECT_EQ(wav.samples, expectedSamples(kTrack2Sample, samplesIn(1250)));
}

TEST(DigitalPlayback, PlayingFromAMillisecondPositionStartsOnItsFrame) {
    ImagePlayback p;
    p.send("set cd time format milliseconds");
    ASSERT_EQ(p.send("play cd from 1500").code, 0);  // 112.5 frames: frame 112
    p.clock.advance(700);
    EXPECT_EQ(p.send("status cd position").reply, "2186") << "frame 164, counted in ms";
    const WavContents wav = p.finish();
    EXPECT_TRUE(wav.headerOk);
    EXPECT_EQ(wav.samples, expectedSamples(112 * 588, samplesIn(700)));
}

TEST(DigitalPlayback, PauseAndResumeGoOnWithoutAGapOrARepeat) {
    ImagePlayback p;
    p.send("play cd from 1");
    p.clock.advance(1010);  // not on a frame's border
    p.send("pause cd");
    p.clock.advance(5000);
    EXPECT_EQ(p.send("status cd position").reply, "01:00:01:00");
    p.send("play cd");
    p.clock.advance(490);
    EXPECT_EQ(p.send("status cd position").reply, "01:00:01:37");
    const WavContents wav = p.finish();
    EXPECT_EQ(wav.samples, expectedSamples(0, samplesIn(1010) + samplesIn(490)));
}

TEST(DigitalPlayback, SeekStopsAndTheNextPlayStartsThere) {
    ImagePlayback p;
    p.send("play cd from 1");
    p.clock.advance(400);
    ASSERT_EQ(p.send("seek cd to 3").code, 0);
    EXPECT_EQ(p.send("status cd mode").reply, "stopped");
    EXPECT_EQ(p.send("status cd position").reply, "04:00:00:00") << "the data track is skipped";
    p.clock.advance(2000);  // heard nothing while stopped
    p.send("play cd");
    p.clock.advance(600);
    const WavContents wav = p.finish();
    EXPECT_EQ(wav.samples, concat(expectedSamples(0, samplesIn(400)),
                                  expectedSamples(kTrack4Sample, samplesIn(600))));
}

TEST(DigitalPlayback, PlaybackStopsBeforeADataTrackAndAtTheEndOfTheDisc) {
    ImagePlayback p;
    p.send("play cd from 2");
    p.clock.advance(10000);
    EXPECT_EQ(p.send("status cd mode").reply, "stopped");
    EXPECT_EQ(p.send("status cd position").reply, "02:00:02:74");
    p.send("play cd from 4");
    p.clock.advance(10000);
    EXPECT_EQ(p.send("status cd mode").reply, "stopped");
    EXPECT_EQ(p.send("status cd position").reply, "04:00:02:49");
    const WavContents wav = p.finish();
    EXPECT_EQ(wav.samples, concat(expectedSamples(kTrack2Sample, 225 * 588),
                                  expectedSamples(kTrack4Sample, 200 * 588)));
}

TEST(DigitalPlayback, PositionFollowsWhatWasHeardFrameByFrame) {
    ImagePlayback p;
    p.send("set cd time format milliseconds");
    p.send("play cd from 0");
    std::int64_t previous = -1;
    for (std::int64_t ms = 0; ms <= 3000; ms += 7) {
        const std::int64_t position = std::stoll(p.send("status cd position").reply);
        const std::int64_t frames = ms * 75 / 1000;
        EXPECT_EQ(position, frames * 1000 / 75) << "at " << ms << " ms";
        EXPECT_GE(position, previous);
        previous = position;
        p.clock.advance(7);
    }
}

TEST(DigitalPlayback, VolumeScalesWhatIsHeardFromThatMomentOn) {
    ImagePlayback p;
    ASSERT_TRUE(p.wav().setVolume(32500));
    p.send("play cd from 1");
    p.clock.advance(300);
    ASSERT_TRUE(p.wav().setVolume(0));
    p.clock.advance(100);
    ASSERT_TRUE(p.wav().setVolume(65000));
    p.clock.advance(100);
    EXPECT_FALSE(p.wav().setVolume(65001));
    EXPECT_FALSE(p.wav().setVolume(-1));
    EXPECT_EQ(p.wav().volume(), 65000);
    const WavContents wav = p.finish();
    const std::int64_t a = samplesIn(300), b = samplesIn(400);
    auto expected = concat(expectedSamples(0, a, 32500), expectedSamples(a, b - a, 0));
    expected = concat(expected, expectedSamples(b, samplesIn(500) - b));
    EXPECT_EQ(wav.samples, expected);
    // Halving is exact on these even samples.
    EXPECT_EQ(wav.samples[2], expectedSamples(1, 1)[0] / 2);
}

TEST(DigitalPlayback, AStalledDriveNeverHoldsUpACommand) {
    ManualClock clock;
    VirtualDrive drive({{3000, true}, {3000, true}});
    NullOutput output(clock);
    CdAudioDevice device(drive, output);
    device.send("open cdaudio alias cd wait shareable", 0);
    device.send("set cd time format tmsf", 0);
    drive.stallReads(true);

    // Every command the player sends while a drive spins up, on a thread of its own so a
    // command that blocked fails the test instead of hanging it.
    auto commands = std::async(std::launch::async, [&] {
        std::vector<std::string> replies;
        for (const char* command :
             {"play cd from 2", "status cd position", "status cd mode", "pause cd",
              "status cd position", "play cd", "stop cd wait", "status cd position", "seek cd to 1",
              "play cd from 1", "status cd media present", "stop cd wait"}) {
            replies.push_back(device.send(command, 64).reply);
        }
        return replies;
    });
    const bool answered = commands.wait_for(std::chrono::seconds(30)) == std::future_status::ready;
    drive.stallReads(false);
    ASSERT_TRUE(answered) << "a command waited on the stalled drive";
    const auto replies = commands.get();
    EXPECT_EQ(replies[1], "02:00:00:00") << "nothing heard yet";
    EXPECT_EQ(replies[2], "playing");
    EXPECT_EQ(replies[10], "true");
}

TEST(DigitalPlayback, AClockMovedByHandWaitsForTheSoundOfAStalledDrive) {
    ManualClock clock;
    VirtualDrive drive({{3000, true}, {3000, true}});
    TempDir dir;
    auto wav = WavOutput::create(dir.file("stalled.wav"), clock);
    ASSERT_TRUE(wav.ok());
    auto device = std::make_unique<CdAudioDevice>(drive, *wav.value());
    device->send("open cdaudio alias cd wait shareable", 0);
    device->send("set cd time format tmsf", 0);
    device->send("play cd from 2", 0);
    clock.advance(200);
    // The drive stops answering while the clock is moved on by more than the playback
    // thread holds: the move waits for the sound, as `qvmci --clock manual` does with a
    // drive that spins up or reads a scratch.
    drive.stallReads(true);
    std::thread mover([&clock] { clock.advance(5000); });
    ASSERT_TRUE(drive.waitForStalledRead(std::chrono::seconds(30)));
    drive.stallReads(false);
    mover.join();
    EXPECT_EQ(device->send("status cd position", 64).reply, "02:00:05:15");

    device.reset();
    wav.value()->finish();
    const WavContents recorded = readWav(dir.file("stalled.wav"));
    ASSERT_EQ(recorded.samples.size(), std::size_t(samplesIn(5200)) * 2) << "no gap";
    const std::int64_t first = 3000 * 588;
    for (std::int64_t i = 0; i < samplesIn(5200); i += 97) {
        ASSERT_EQ(recorded.samples[std::size_t(i) * 2], drive.sampleAt(first + i)) << i;
    }
}

}  // namespace
}  // namespace sonarch
