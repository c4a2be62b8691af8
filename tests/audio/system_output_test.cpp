// The sound server's output, checked against a private PulseAudio server with a null
// sink: what the device plays is recorded from the sink's monitor, and from the sound alone
// the test tells what was heard and when. Where no such server can be started the tests
// say so by skipping.
#include "audio/system_output.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <numbers>
#include <optional>
#include <sstream>

#include "audio/audio_output_factory.h"
#include "device/drives/drive_factory.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "support/disc_images.h"
#include "support/level_disc.h"
#include "support/sound_server.h"
#include "volume/vol_control.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;
using namespace std::chrono_literals;

constexpr double kToneHz = 1000.0;
// A move is heard this soon, or the hand is not followed.
constexpr int kFollowMs = 150;

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

// Ten tracks of two seconds each, every second at its own level.
std::vector<LevelTrack> twoSecondTracks() {
    return std::vector<LevelTrack>(10, LevelTrack{2, {}, {}});
}

// What the output told about its trouble, in order, as the player would hear it.
class TroubleLog {
public:
    void note(SoundTrouble trouble) {
        std::lock_guard lock(m_mutex);
        m_said.push_back(trouble);
        m_changed.notify_all();
    }
    bool waitFor(std::vector<SoundTrouble> said) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 20s, [&] { return m_said == said; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SoundTrouble> m_said;
};

// Each test has a private server of its own, and the variables that lead to it.
class SoundServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        server.emplace(dir);
        if (!server->ready()) {
            GTEST_SKIP() << "no private sound server: " << server->why();
        }
    }
    // The system output, opened, at the mixer's `level`.
    AudioOutput& openOutput(std::int32_t level = kFullVolume) {
        auto opened = openAudioOutput("system", clock);
        EXPECT_TRUE(opened.ok());
        EXPECT_TRUE(opened.value().opened) << opened.value().error;
        audio = std::move(opened.value());
        Mixer mixer(audio.output.get());
        EXPECT_TRUE(mixer.open());
        EXPECT_TRUE(SetMixerVolume(mixer, level));
        return *audio.output;
    }
    // Ten tracks of two seconds, every second at its own level, played through the output
    // with the sink recorded; `play` is the first command, times in milliseconds.
    CdAudioDevice& playLevelDisc(const std::string& play, std::int32_t level = kFullVolume) {
        auto opened = openDrive(writeLevelDisc(dir, "levels", twoSecondTracks()));
        EXPECT_TRUE(opened.ok()) << opened.error();
        drive = std::move(opened.value());
        record();
        device.emplace(*drive, openOutput(level));
        device->send("open cdaudio alias cd wait shareable", 0);
        device->send("set cd time format milliseconds", 0);
        EXPECT_EQ(device->send(play, 0).code, 0) << play;
        return *device;
    }
    // Starts recording the sink and waits until the recording flows.
    MonitorRecording& record() {
        monitor.emplace(*server);
        EXPECT_TRUE(monitor->running());
        EXPECT_TRUE(monitor->pipe().waitFor(
            [](const std::vector<std::uint8_t>& bytes) { return windowsIn(bytes.size()) >= 5; },
            20s))
            << "the monitor records nothing";
        return *monitor;
    }
    std::size_t now() { return windowsIn(monitor->size()); }
    // Waits until what was heard from hundredth `from` on satisfies `enough`.
    template <class Pred>
    bool waitHeard(std::size_t from, Pred enough) {
        return monitor->pipe().waitFor(
            [&](const std::vector<std::uint8_t>& bytes) {
                return enough(heardSeconds(bytes, from));
            },
            20s);
    }
    // Until second `second` of the disc has been heard for `ms` after hundredth `from`.
    bool waitForSecond(std::size_t from, int second, int ms = 0) {
        return waitHeard(from, [&](const std::vector<int>& heard) {
            const auto at = std::find(heard.begin(), heard.end(), second);
            return at != heard.end() && heard.end() - at > ms / 10;
        });
    }

    EnvironmentGuard environment;
    TempDir dir;
    std::optional<PrivateSoundServer> server;
    std::optional<MonitorRecording> monitor;
    SteadyClock clock;
    TroubleLog trouble;  // outlives the output that may tell it
    std::unique_ptr<Drive> drive;
    AudioChoice audio;
    std::optional<CdAudioDevice> device;  // gone before the output it plays into
};

TEST_F(SoundServerTest, PlaysATrackThroughTheSoundServer) {
    // Track 1 is a 440 Hz tone, track 2 a 1 kHz one.
    auto tones = openDrive(writeToneDisc(dir, "tone", 440, 75, kToneHz, 4 * 75));
    ASSERT_TRUE(tones.ok()) << tones.error();
    record();
    AudioOutput& output = openOutput();
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
        CdAudioDevice cd(*tones.value(), output);
        cd.send("open cdaudio alias cd wait shareable", 0);
        cd.send("set cd time format milliseconds", 0);
        ASSERT_EQ(cd.send("play cd from 1000", 0).code, 0);
        ASSERT_TRUE(monitor->pipe().waitFor(toneRecorded, 20s))
            << "nothing came out of the sink's monitor";
        // The heard position has moved with what the server played.
        EXPECT_GT(std::stoll(cd.send("status cd position", 64).reply), 1000);
        cd.send("stop cd", 0);
    }
    monitor->stop();

    const std::vector<std::int16_t> left = leftSamples(monitor->bytes());
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

TEST_F(SoundServerTest, ATrackPlayedToItsEndStopsOnItsLastFrame) {
    // One second of tone, then a second track the play must not reach.
    auto tones = openDrive(writeToneDisc(dir, "short", kToneHz, 75, 440, 75));
    ASSERT_TRUE(tones.ok()) << tones.error();
    record();
    AudioOutput& output = openOutput();
    CdAudioDevice cd(*tones.value(), output);
    cd.send("open cdaudio alias cd wait shareable", 0);
    cd.send("set cd time format tmsf", 0);
    ASSERT_EQ(cd.send("play cd from 1 to 2", 0).code, 0);

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
        mode = cd.send("status cd mode", 64).reply;
        return mode == "stopped";
    };
    EXPECT_TRUE(monitor->pipe().waitFor(toneOverAndStopped, 20s))
        << "the device still says " << mode << " after the tone ended";
    EXPECT_EQ(cd.send("status cd position", 64).reply, "01:00:00:74");
    EXPECT_EQ(output.underruns(), 0) << "the end of the stream is no underrun";
}

TEST_F(SoundServerTest, SeeksAndSkipsAreHeardAtOnceAndTheOldPlaceNeverAgain) {
    CdAudioDevice& device = playLevelDisc("play cd from 1000");
    ASSERT_TRUE(waitForSecond(0, 2, 200)) << "the disc is not heard";

    struct Move {
        std::string command;
        int target;  // the second of the disc heard first after it
        std::vector<int> heard;
    };
    // Forward and back in the disc, over track changes; then a skip to the start of a
    // track, as the player's next and previous buttons send it.
    std::vector<Move> moves = {{"play cd from 12000", 12, {}},
                               {"play cd from 3000", 3, {}},
                               {"set cd time format tmsf", -1, {}},
                               {"play cd from 9", 16, {}},
                               {"play cd from 2", 2, {}}};
    for (Move& move : moves) {
        const std::size_t from = now();
        ASSERT_EQ(device.send(move.command, 0).code, 0) << move.command;
        if (move.target < 0) {
            continue;
        }
        ASSERT_TRUE(waitForSecond(from, move.target, 600)) << move.command << ": never heard";
        move.heard = heardSeconds(monitor->bytes(), from);
    }
    for (const Move& move : moves) {
        if (move.target < 0) {
            continue;
        }
        const MoveHeard heard = moveHeard(move.heard, move.target);
        EXPECT_LE(heard.delayMs, kFollowMs) << move.command;
        EXPECT_EQ(heard.strayWindows, 0) << move.command << ": second " << heard.firstStray
                                         << " heard after second " << move.target;
    }
}

TEST_F(SoundServerTest, PauseSilencesAtOnceAndPlayGoesOnWhereItStopped) {
    CdAudioDevice& device = playLevelDisc("play cd from 2000");
    ASSERT_TRUE(waitForSecond(0, 3, 300));

    const std::size_t paused = now();
    ASSERT_EQ(device.send("pause cd", 0).code, 0);
    const std::string position = device.send("status cd position", 64).reply;
    ASSERT_TRUE(waitHeard(paused, [](const std::vector<int>& heard) { return heard.size() > 60; }));
    EXPECT_EQ(device.send("status cd position", 64).reply, position) << "the place moved";
    const std::vector<int> whilePaused = heardSeconds(monitor->bytes(), paused);
    const auto silence = std::find(whilePaused.begin(), whilePaused.end(), kSilence);
    ASSERT_NE(silence, whilePaused.end()) << "the sound did not stop";
    EXPECT_LE((silence - whilePaused.begin()) * 10, kFollowMs);
    EXPECT_TRUE(std::all_of(silence, whilePaused.end(), [](int s) { return s == kSilence; }))
        << "sound came back while paused";
    ASSERT_NE(silence, whilePaused.begin());
    const int last = *(silence - 1);

    const std::size_t resumed = now();
    ASSERT_EQ(device.send("play cd", 0).code, 0);
    ASSERT_TRUE(waitHeard(resumed, [](const std::vector<int>& heard) {
        return std::count_if(heard.begin(), heard.end(), [](int s) { return s != kSilence; }) > 50;
    }));
    const std::vector<int> afterPlay = heardSeconds(monitor->bytes(), resumed);
    const auto sound =
        std::find_if(afterPlay.begin(), afterPlay.end(), [](int s) { return s != kSilence; });
    EXPECT_LE((sound - afterPlay.begin()) * 10, kFollowMs);
    EXPECT_TRUE(*sound == last || *sound == last + 1)
        << "paused in second " << last << ", went on in second " << *sound;
    EXPECT_TRUE(std::none_of(sound, afterPlay.end(), [](int s) { return s == kSilence; }))
        << "the sound broke off after it went on";
}

TEST_F(SoundServerTest, SteadyPlayOverTrackChangesHasNoGap) {
    // Over the changes from track 1 to 2 (at 2 s) and from 2 to 3 (at 4 s).
    playLevelDisc("play cd from 1500 to 4500");
    ASSERT_TRUE(waitHeard(0, [](const std::vector<int>& heard) {
        const auto last = std::find(heard.rbegin(), heard.rend(), 4);
        return last != heard.rend() && last - heard.rbegin() > 20;
    })) << "the play did not end";

    std::vector<int> heard = heardSeconds(monitor->bytes());
    const auto first =
        std::find_if(heard.begin(), heard.end(), [](int s) { return s != kSilence; });
    const auto end =
        std::find_if(heard.rbegin(), heard.rend(), [](int s) { return s != kSilence; }).base();
    ASSERT_LT(first, end);
    const std::vector<int> played(first, end);
    std::map<int, int> windows;
    for (const int second : played) {
        ++windows[second];
    }
    EXPECT_EQ(windows.count(kSilence), 0u) << windows[kSilence] << " hundredths of silence";
    EXPECT_TRUE(std::is_sorted(played.begin(), played.end())) << "heard out of order";
    // Seconds 2 and 3 whole, over the changes of track; of 1 and 4 the halves played (the
    // very start may be cut a little where the server made room for it).
    EXPECT_NEAR(windows[2], 100, 1);
    EXPECT_NEAR(windows[3], 100, 1);
    EXPECT_GT(windows[1], 40);
    EXPECT_NEAR(windows[4], 50, 1);
    EXPECT_EQ(audio.output->underruns(), 0);
}

TEST_F(SoundServerTest, TheMixerLevelReachesTheSinkExactly) {
    const std::int32_t level = 23456;
    playLevelDisc("play cd from 5000", level);
    // Half a second of the sink's sound, from a tenth of a second after it began.
    ASSERT_TRUE(monitor->pipe().waitFor(
        [](const std::vector<std::uint8_t>& bytes) {
            const std::vector<std::int16_t> left = leftSamples(bytes);
            const auto loud = std::find_if(left.begin(), left.end(),
                                           [](std::int16_t s) { return std::abs(s) > 1000; });
            return left.end() - loud > 4410 + 22050;
        },
        20s));
    const std::vector<std::int16_t> left = leftSamples(monitor->bytes());
    const std::size_t heard =
        std::size_t(std::find_if(left.begin(), left.end(),
                                 [](std::int16_t s) { return std::abs(s) > 1000; }) -
                    left.begin()) +
        4410;
    // Each sample of the disc times level / 65000, rounded towards zero: found where the
    // recording matches it sample for sample.
    auto scaled = [&](std::int64_t sample) {
        return static_cast<std::int16_t>(levelDiscSample(sample) * level / kFullVolume);
    };
    std::optional<std::int64_t> found;
    for (std::int64_t at = 5 * kSampleRate; at < 7 * kSampleRate && !found; ++at) {
        bool same = true;
        for (std::size_t i = 0; i < 22050 && same; ++i) {
            same = left[heard + i] == scaled(at + std::int64_t(i));
        }
        if (same) {
            found = at;
        }
    }
    EXPECT_TRUE(found) << "the sink did not play the disc at level " << level << " exactly";
}

// The properties of the player's streams on the server, as `pactl list sink-inputs` has
// them, one map per stream.
std::vector<std::map<std::string, std::string>> sinkInputs(const PrivateSoundServer& server) {
    std::istringstream text(
        outputOf({"pactl", "--server=" + server.server(), "list", "sink-inputs"}));
    std::vector<std::map<std::string, std::string>> inputs;
    std::string line;
    while (std::getline(text, line)) {
        if (line.rfind("Sink Input #", 0) == 0) {
            inputs.emplace_back();
            continue;
        }
        const std::size_t equals = line.find(" = \"");
        if (inputs.empty() || equals == std::string::npos || line.back() != '"') {
            continue;
        }
        const std::size_t key = line.find_first_not_of(" \t");
        inputs.back()[line.substr(key, equals - key)] =
            line.substr(equals + 4, line.size() - equals - 5);
    }
    return inputs;
}

// Asks the server until `wanted` holds for the one stream there; false after a while.
template <class Pred>
bool waitForStream(const PrivateSoundServer& server, Pred wanted,
                   std::map<std::string, std::string>& seen) {
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < until) {
        const auto inputs = sinkInputs(server);
        if (inputs.size() == 1) {
            seen = inputs.front();
            if (wanted(seen)) {
                return true;
            }
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

TEST_F(SoundServerTest, TheDesktopNamesTheStreamAfterThePlayerAndTheTrack) {
    openOutput();
    ASSERT_NE(audio.desktop, nullptr);
    audio.desktop->describeTrack("Ahoy", "The Deck Hands");
    std::map<std::string, std::string> stream;
    ASSERT_TRUE(waitForStream(
        *server, [](auto& p) { return p["media.title"] == "Ahoy"; }, stream))
        << "the title never reached the server";
    EXPECT_EQ(stream["application.name"], "Sonarch CD Player");
    EXPECT_EQ(stream["application.icon_name"], "sonarch-qvplayer");
    EXPECT_EQ(stream["application.id"], SONARCH_APP_ID);
    EXPECT_EQ(stream["media.role"], "music");
    EXPECT_EQ(stream["media.artist"], "The Deck Hands");
    EXPECT_EQ(stream["media.name"], "Ahoy");

    // No track: neither title nor artist is left behind.
    audio.desktop->describeTrack("", "");
    ASSERT_TRUE(waitForStream(
        *server, [](auto& p) { return !p.count("media.title"); }, stream));
    EXPECT_FALSE(stream.count("media.artist"));
    EXPECT_EQ(stream["application.name"], "Sonarch CD Player");
}

TEST_F(SoundServerTest, AServerThatGoesAwayStopsTheSoundAndItsReturnBringsItBack) {
    CdAudioDevice& device = playLevelDisc("play cd from 3000");
    audio.desktop->setTroubleListener([this](SoundTrouble t) { trouble.note(t); });
    ASSERT_TRUE(waitForSecond(0, 4, 200));

    monitor->stop();
    const std::vector<int> before = heardSeconds(monitor->bytes());
    const auto lastHeard =
        std::find_if(before.rbegin(), before.rend(), [](int s) { return s != kSilence; });
    server->crash();
    ASSERT_TRUE(trouble.waitFor({SoundTrouble::ServerGone}));
    // The device answers, and keeps its place while nothing is heard.
    EXPECT_EQ(device.send("status cd mode", 64).reply, "playing");
    const std::string position = device.send("status cd position", 64).reply;
    EXPECT_EQ(device.send("status cd position", 64).reply, position);

    server.reset();
    server.emplace(dir);
    ASSERT_TRUE(server->ready()) << server->why();
    record();
    // No command: the output finds the server again by itself.
    ASSERT_TRUE(waitHeard(0, [](const std::vector<int>& heard) {
        return std::count_if(heard.begin(), heard.end(), [](int s) { return s != kSilence; }) > 30;
    })) << "no sound after the server came back";
    EXPECT_TRUE(trouble.waitFor({SoundTrouble::ServerGone, SoundTrouble::None}));
    const std::vector<int> after = heardSeconds(monitor->bytes());
    const auto firstHeard =
        std::find_if(after.begin(), after.end(), [](int s) { return s != kSilence; });
    // It goes on about where it stopped: what the dead server held is played again.
    EXPECT_LE(std::abs(*firstHeard - *lastHeard), 1)
        << "stopped in second " << *lastHeard << ", went on in second " << *firstHeard;
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
    EXPECT_EQ(audio.value().desktop, nullptr);
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
