// How the playback thread paces itself against a clock-paced output: it tops the output up
// in large batches when half of it has been heard, not on every step of the clock; when the
// drive falls behind, the output hears silence, counts it, and the position waits.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "audio/paced_output.h"
#include "audio/wav_output.h"
#include "device/mci/cd_audio_device.h"
#include "device/drives/drive_factory.h"
#include "device/drives/virtual_drive.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using namespace std::chrono_literals;

// A null output that counts the times it woke the playback thread and the writes that
// brought frames, and lets the test wait for them.
class CountingOutput : public NullOutput {
public:
    using NullOutput::NullOutput;

    void setWakeup(std::function<void()> wakeup) override {
        if (!wakeup) {
            NullOutput::setWakeup({});
            return;
        }
        NullOutput::setWakeup([this, wakeup = std::move(wakeup)] {
            ++m_wakeups;
            wakeup();
        });
    }

    std::size_t write(std::span<const std::uint8_t> pcm) override {
        const std::size_t taken = NullOutput::write(pcm);
        std::lock_guard lock(m_mutex);
        m_writes += taken > 0 ? 1 : 0;
        m_written += std::int64_t(taken / kBytesPerSampleFrame);
        m_wrote.notify_all();
        return taken;
    }

    // Waits until the thread has written `frames` in all; false after a generous safety
    // timeout, so a thread that never comes fails the test instead of hanging it.
    bool waitForWritten(std::int64_t frames) {
        std::unique_lock lock(m_mutex);
        return m_wrote.wait_for(lock, 30s, [&] { return m_written >= frames; });
    }
    int writes() {
        std::lock_guard lock(m_mutex);
        return m_writes;
    }
    int wakeups() const { return m_wakeups.load(); }
    std::int64_t written() {
        std::lock_guard lock(m_mutex);
        return m_written;
    }

private:
    std::atomic<int> m_wakeups{0};
    std::mutex m_mutex;
    std::condition_variable m_wrote;
    int m_writes = 0;
    std::int64_t m_written = 0;
};

constexpr std::int64_t kTrackSeconds = 20;

// Real time, moved on by hand: an output does not wait at its steps for the sound, as
// nothing waits for real time.
class RealTimeStandIn : public ManualClock {
public:
    bool jumps() const override { return false; }
};

template <class PlaybackClock = ManualClock>
struct PacedPlayback {
    PacedPlayback() {
        device.send("open cdaudio alias cd wait shareable", 0);
        device.send("set cd time format milliseconds", 0);
    }
    std::int64_t positionMs() { return std::stoll(device.send("status cd position", 64).reply); }

    PlaybackClock clock;
    VirtualDrive drive{{{std::int32_t(kTrackSeconds * 75), true}}};
    CountingOutput output{clock};
    CdAudioDevice device{drive, output};
};

TEST(PlaybackPacing, TheOutputIsToppedUpInLargeBatchesNotOnEveryClockStep) {
    PacedPlayback<> p;
    const std::int64_t ahead = p.output.capacity();
    ASSERT_EQ(p.device.send("play cd from 0", 0).code, 0);
    ASSERT_TRUE(p.output.waitForWritten(ahead)) << "the output is filled at the start";
    const int atStart = p.output.writes();
    const int wokenAtStart = p.output.wakeups();

    // Ten seconds in 10 ms steps. After each step the thread has either been woken and
    // filled the output again, or is not needed yet: more than half is still ahead.
    constexpr int kSteps = 1000;
    for (int step = 1; step <= kSteps; ++step) {
        p.clock.advance(10);
        const std::int64_t heard = std::int64_t(step) * 441;
        ASSERT_TRUE(p.output.waitForWritten(heard + ahead / 2 + 1)) << "step " << step;
    }
    EXPECT_EQ(p.positionMs(), 10'000);
    EXPECT_EQ(p.output.underruns(), 0);
    // Half the output's lookahead is heard between two top-ups, which take a write or two
    // (the drive is read a second at a time): about 40 top-ups, where waking on every step
    // would write 1000 times.
    const int topUpWrites = 2;
    const int topUps = int(std::int64_t(kSteps) * 441 / (ahead / 2)) + 1;
    EXPECT_LE(p.output.writes() - atStart, topUps * topUpWrites);
    EXPECT_GE(p.output.writes() - atStart, topUps - 1);
    EXPECT_LE(p.output.wakeups() - wokenAtStart, topUps * topUpWrites);
}

TEST(PlaybackPacing, ADriveBehindTheClockIsHeardAsSilenceAndThePositionWaits) {
    PacedPlayback<RealTimeStandIn> p;
    // A late start is heard as silence too, but it is no underrun: nothing had been written.
    p.drive.stallReads(true);
    ASSERT_EQ(p.device.send("play cd from 0", 0).code, 0);
    ASSERT_TRUE(p.drive.waitForStalledRead(30s));
    p.clock.advance(100);
    EXPECT_EQ(p.positionMs(), 0);
    p.drive.stallReads(false);
    ASSERT_TRUE(p.output.waitForWritten(p.output.capacity()));
    EXPECT_EQ(p.output.underruns(), 0);

    // The drive stalls for longer than the output holds: the output runs dry once, hears
    // silence, and the position stays with the last frame heard until the drive answers.
    for (int stall = 1; stall <= 2; ++stall) {
        p.drive.stallReads(true);
        // The thread reads again once it has handed over what it holds.
        for (int step = 0; !p.drive.waitForStalledRead(20ms); ++step) {
            ASSERT_LT(step, 1000) << "the thread never read again";
            p.clock.advance(50);
        }
        const std::int64_t written = p.output.written();
        const std::int64_t silence = p.output.silenceHeard();
        p.clock.advance(2000);
        EXPECT_EQ(p.output.underruns(), stall);
        EXPECT_EQ(p.output.framesHeard(), written);
        const std::int64_t waiting = p.positionMs();
        p.clock.advance(500);
        EXPECT_EQ(p.positionMs(), waiting);
        EXPECT_GE(p.output.silenceHeard() - silence, 2000 * 441 / 10 - p.output.capacity());
        p.drive.stallReads(false);
        const std::int64_t heard = p.output.framesHeard();
        ASSERT_TRUE(p.output.waitForWritten(heard + p.output.capacity()));
        EXPECT_EQ(p.output.underruns(), stall) << "catching up ends the underrun";
        p.clock.advance(400);
        EXPECT_EQ(p.positionMs(), waiting + 400) << "and the position moves on from there";
    }
}

// An image drive that notes the size of every read asked of it.
class NotingDrive : public Drive {
public:
    explicit NotingDrive(std::unique_ptr<Drive> image) : m_image(std::move(image)) {}

    bool mediaPresent() override { return m_image->mediaPresent(); }
    std::optional<DiscToc> readToc() override { return m_image->readToc(); }
    std::uint64_t discGeneration() const override { return m_image->discGeneration(); }
    bool openDoor() override { return m_image->openDoor(); }
    bool closeDoor() override { return m_image->closeDoor(); }
    bool isDoorOpen() const override { return m_image->isDoorOpen(); }
    int sectorsPerRead() const override { return m_image->sectorsPerRead(); }
    ReadStatus readAudio(std::int32_t sector, int count, std::span<std::uint8_t> out) override {
        {
            std::lock_guard lock(m_mutex);
            m_reads.emplace_back(sector, count);
        }
        return m_image->readAudio(sector, count, out);
    }
    std::vector<std::pair<std::int32_t, int>> reads() {
        std::lock_guard lock(m_mutex);
        return m_reads;
    }

private:
    std::unique_ptr<Drive> m_image;
    std::mutex m_mutex;
    std::vector<std::pair<std::int32_t, int>> m_reads;
};

TEST(PlaybackPacing, AnImageIsReadASecondAtATimeAfterAShortFirstRead) {
    testing::TempDir dir;
    auto image = openDrive(testing::writeCueBin(dir, {{1500, true}, {1500, true}}));
    ASSERT_TRUE(image.ok()) << image.error();
    NotingDrive drive(std::move(image.value()));
    ManualClock clock;
    // A recording waits at each step of the clock for the sound it covers.
    auto output = WavOutput::create(dir.file("heard.wav"), clock);
    ASSERT_TRUE(output.ok()) << output.error();
    CdAudioDevice device(drive, *output.value());
    device.send("open cdaudio alias cd wait shareable", 0);
    device.send("set cd time format tmsf", 0);
    ASSERT_EQ(device.send("play cd from 1", 0).code, 0);
    for (int step = 0; step < 100; ++step) {
        clock.advance(100);
    }
    device.send("play cd from 2", 0);  // a seek, as a click on the bar makes
    clock.advance(2000);
    device.send("stop cd", 0);

    const auto reads = drive.reads();
    ASSERT_GE(reads.size(), 2u);
    // The sound comes at once after a start or a seek: a tenth of a second is read first.
    EXPECT_EQ(reads.front(), std::make_pair(0, 8));
    const auto seek =
        std::find_if(reads.begin(), reads.end(), [](const auto& r) { return r.first == 1500; });
    ASSERT_NE(seek, reads.end());
    EXPECT_EQ(seek->second, 8);
    // Then a second of sound a read: about one read a second, where reads of a tenth of a
    // second were ten.
    EXPECT_LE(reads.size(), 10u + 2u + 2u + 2u);
    for (auto r = reads.begin() + 1; r != reads.end(); ++r) {
        if (r != seek && r->first + r->second < 3000) {
            EXPECT_EQ(r->second, kFramesPerSecond) << "read from " << r->first;
        }
    }
}

}  // namespace
}  // namespace sonarch
