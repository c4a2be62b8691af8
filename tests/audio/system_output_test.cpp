// The sound server's output, checked against a private PulseAudio server with a null
// sink: what the player plays is recorded from the sink's monitor and its pitch measured.
// Where no such server can be started the test says so by skipping.
#include "audio/system_output.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <numbers>
#include <optional>
#include <thread>

#include "audio/audio_output_factory.h"
#include "device/drives/drive_factory.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "support/disc_images.h"
#include "support/sound_server.h"
#include "volume/vol_control.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;
using namespace std::chrono_literals;

constexpr double kToneHz = 1000.0;

std::vector<std::uint8_t> toneSectors(double hz, std::int32_t sectors) {
    std::vector<std::uint8_t> bytes;
    for (std::int64_t i = 0; i < std::int64_t{sectors} * kSamplesPerFrame; ++i) {
        const auto v = static_cast<std::uint16_t>(static_cast<std::int16_t>(
            std::lround(12000 * std::sin(2 * std::numbers::pi * hz * double(i) / 44100))));
        for (int channel = 0; channel < 2; ++channel) {
            bytes.push_back(static_cast<std::uint8_t>(v & 0xff));
            bytes.push_back(static_cast<std::uint8_t>(v >> 8));
        }
    }
    return bytes;
}

// Left-channel samples of a raw 16-bit stereo recording.
std::vector<std::int16_t> leftSamples(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::int16_t> left;
    for (std::size_t i = 0; i + 3 < bytes.size(); i += 4) {
        left.push_back(static_cast<std::int16_t>(bytes[i] | bytes[i + 1] << 8));
    }
    return left;
}

// A disc image of two tracks of tones, `first` and `second` sectors long, as a CUE sheet.
std::string writeToneDisc(const TempDir& dir, const std::string& name, double firstHz, int first,
                          double secondHz, int second) {
    std::vector<std::uint8_t> bin = toneSectors(firstHz, first);
    const auto more = toneSectors(secondHz, second);
    bin.insert(bin.end(), more.begin(), more.end());
    writeFile(dir.file(name + ".bin"), bin);
    writeText(dir.file(name + ".cue"),
              "FILE \"" + name +
                  ".bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                  "  TRACK 02 AUDIO\n    INDEX 01 " +
                  msf(first) + "\n");
    return dir.file(name + ".cue");
}

// Records what the private server's null sink plays, as the ear would hear it.
std::vector<std::string> monitorRecorder(const PrivateSoundServer& server) {
    return {"pacat",
            "--record",
            "--server=" + server.server(),
            "--device=sonarch_test.monitor",
            "--format=s16le",
            "--rate=44100",
            "--channels=2",
            "--raw",
            "--latency-msec=20"};
}

TEST(SystemOutput, PlaysATrackThroughTheSoundServer) {
    EnvironmentGuard environment;
    TempDir dir;
    PrivateSoundServer server(dir);
    if (!server.ready()) {
        GTEST_SKIP() << "no private sound server: " << server.why();
    }
    // Track 1 is a 440 Hz tone, track 2 a 1 kHz one.
    auto drive = openDrive(writeToneDisc(dir, "tone", 440, 75, kToneHz, 4 * 75));
    ASSERT_TRUE(drive.ok()) << drive.error();

    PipeRecording monitor;
    Child recorder(monitorRecorder(server), monitor.writeEnd(), -1);
    monitor.closeWriteEnd();
    ASSERT_TRUE(recorder.running());

    SteadyClock clock;
    auto audio = openAudioOutput("system", clock);
    ASSERT_TRUE(audio.ok());
    ASSERT_TRUE(audio.value().opened) << audio.value().error;
    Mixer mixer(audio.value().output.get());
    ASSERT_TRUE(mixer.open());
    EXPECT_TRUE(SetMixerVolume(mixer, 65000));
    // Enough of the tone to measure: from the first loud sample, a tenth of a second to
    // settle and half a second to count.
    const std::size_t needed = 4410 + 22050;
    auto toneRecorded = [needed](const std::vector<std::uint8_t>& bytes) {
        const std::vector<std::int16_t> left = leftSamples(bytes);
        const auto loud = std::find_if(left.begin(), left.end(),
                                       [](std::int16_t s) { return std::abs(s) > 4000; });
        return loud != left.end() && std::size_t(left.end() - loud) >= needed;
    };
    {
        CdAudioDevice device(*drive.value(), *audio.value().output);
        device.send("open cdaudio alias cd wait shareable", 0);
        device.send("set cd time format milliseconds", 0);
        ASSERT_EQ(device.send("play cd from 1000", 0).code, 0);
        ASSERT_TRUE(monitor.waitFor(toneRecorded, 20s)) << "nothing came out of the sink's monitor";
        // The heard position has moved with what the server played.
        EXPECT_GT(std::stoll(device.send("status cd position", 64).reply), 1000);
        device.send("stop cd", 0);
    }
    recorder.stop();

    const std::vector<std::int16_t> left = leftSamples(monitor.bytes());
    const auto start =
        std::find_if(left.begin(), left.end(), [](std::int16_t s) { return std::abs(s) > 4000; });
    ASSERT_NE(start, left.end()) << "the recording is silent";
    const std::size_t from = std::size_t(start - left.begin()) + 4410;
    const std::size_t length = needed - 4410;
    ASSERT_LE(from + length, left.size());
    int crossings = 0;
    for (std::size_t i = from + 1; i < from + length; ++i) {
        if ((left[i - 1] < 0) != (left[i] < 0)) {
            ++crossings;
        }
    }
    const double hz = crossings / 2.0 / (double(length) / 44100);
    EXPECT_NEAR(hz, kToneHz, kToneHz * 0.02);
}

TEST(SystemOutput, ATrackPlayedToItsEndStopsOnItsLastFrame) {
    EnvironmentGuard environment;
    TempDir dir;
    PrivateSoundServer server(dir);
    if (!server.ready()) {
        GTEST_SKIP() << "no private sound server: " << server.why();
    }
    // One second of tone, then a second track the play must not reach.
    auto drive = openDrive(writeToneDisc(dir, "short", kToneHz, 75, 440, 75));
    ASSERT_TRUE(drive.ok()) << drive.error();

    PipeRecording monitor;
    Child recorder(monitorRecorder(server), monitor.writeEnd(), -1);
    monitor.closeWriteEnd();
    ASSERT_TRUE(recorder.running());
    SteadyClock clock;
    auto audio = openAudioOutput("system", clock);
    ASSERT_TRUE(audio.ok());
    ASSERT_TRUE(audio.value().opened) << audio.value().error;
    CdAudioDevice device(*drive.value(), *audio.value().output);
    device.send("open cdaudio alias cd wait shareable", 0);
    device.send("set cd time format tmsf", 0);
    ASSERT_EQ(device.send("play cd from 1 to 2", 0).code, 0);

    // Waits for the whole tone in the recording and a quarter of a second of silence after
    // it, asking the device each time more has been recorded.
    std::string mode;
    auto toneOverAndStopped = [&](const std::vector<std::uint8_t>& bytes) {
        const std::vector<std::int16_t> left = leftSamples(bytes);
        auto loud = [](std::int16_t s) { return std::abs(s) > 4000; };
        const auto first = std::find_if(left.begin(), left.end(), loud);
        const auto last = std::find_if(left.rbegin(), left.rend(), loud);
        if (first == left.end() || last - left.rbegin() < 11025) {
            return false;
        }
        mode = device.send("status cd mode", 64).reply;
        return mode == "stopped";
    };
    EXPECT_TRUE(monitor.waitFor(toneOverAndStopped, 20s))
        << "the device still says " << mode << " after the tone ended";
    EXPECT_EQ(device.send("status cd position", 64).reply, "01:00:00:74");
    EXPECT_EQ(audio.value().output->underruns(), 0) << "the end of the stream is no underrun";
}

TEST(SystemOutput, NoSoundServerMeansTheMixerCannotOpen) {
    EnvironmentGuard environment;
    TempDir dir;
    setenv("PULSE_SERVER", ("unix:" + dir.file("no-server-here")).c_str(), 1);
    ManualClock clock;
    auto audio = openAudioOutput("system", clock);
    ASSERT_TRUE(audio.ok());
    EXPECT_FALSE(audio.value().opened);
    EXPECT_FALSE(audio.value().error.empty());
    ASSERT_TRUE(audio.value().output) << "a silent output keeps the device's time";
    Mixer mixer(audio.value().opened ? audio.value().output.get() : nullptr);
    EXPECT_FALSE(mixer.open());
    // The device still plays, silently, on the clock.
    VirtualDrive drive({{3000, true}});
    CdAudioDevice device(drive, *audio.value().output);
    device.send("open cdaudio alias cd wait shareable", 0);
    device.send("play cd", 0);
    clock.advance(2000);
    EXPECT_EQ(device.send("status cd position", 64).reply, "00:04:00");
}

}  // namespace
}  // namespace sonarch

int main(int argc, char** argv) {
    // Qt's sound output needs an application object; no event loop runs here.
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
