#include <gtest/gtest.h>

#include "audio/paced_output.h"
#include "audio/wav_output.h"
#include "device/engine/ring_buffer.h"
#include "support/disc_images.h"

namespace sonarch {
namespace {

using namespace sonarch::testing;

std::vector<std::uint8_t> pcm(std::int64_t firstSample, std::int64_t frames) {
    std::vector<std::uint8_t> bytes;
    for (std::int16_t s : expectedSamples(firstSample, frames)) {
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(s) >> 8));
    }
    return bytes;
}

TEST(RingBuffer, WrapsAroundAndKeepsOrder) {
    RingBuffer ring(10);
    const std::vector<std::uint8_t> a = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(ring.push(a), 7u);
    std::vector<std::uint8_t> out(5);
    EXPECT_EQ(ring.pop(out), 5u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3, 4, 5}));
    const std::vector<std::uint8_t> b = {8, 9, 10, 11, 12, 13, 14, 15, 16};
    EXPECT_EQ(ring.push(b), 8u) << "only the room left";
    ring.truncate(6);
    std::vector<std::uint8_t> rest(20);
    EXPECT_EQ(ring.pop(rest), 6u);
    EXPECT_EQ(std::vector<std::uint8_t>(rest.begin(), rest.begin() + 6),
              (std::vector<std::uint8_t>{6, 7, 8, 9, 10, 11}));
}

TEST(PacedOutput, HearsAsTheClockMovesAndStopsAtTheLimit) {
    ManualClock clock;
    NullOutput out(clock);
    EXPECT_EQ(out.framesHeard(), 0);
    out.start(44100);
    clock.advance(250);
    EXPECT_EQ(out.framesHeard(), 11025);
    out.pause();
    clock.advance(1000);
    EXPECT_EQ(out.framesHeard(), 11025);
    out.start(44100);
    clock.advance(5000);
    EXPECT_EQ(out.framesHeard(), 44100) << "never past the stream's end";
}

TEST(PacedOutput, TakesOnlyAShortWayAheadOfWhatWasHeard) {
    ManualClock clock;
    NullOutput out(clock);
    out.start(1'000'000);
    const auto second = pcm(0, 44100);
    const std::size_t first = out.write(second);
    EXPECT_EQ(first, std::size_t(22050) * 4) << "half a second ahead";
    EXPECT_EQ(out.write(second), 0u);
    clock.advance(100);
    EXPECT_EQ(out.write(second), std::size_t(4410) * 4);
    EXPECT_FALSE(out.idle());
}

TEST(WavOutput, FramesHeardBeforeTheyArrivedAreRecordedInOrder) {
    ManualClock clock;
    TempDir dir;
    auto wav = WavOutput::create(dir.file("late.wav"), clock);
    ASSERT_TRUE(wav.ok());
    WavOutput& out = *wav.value();
    out.start(1'000'000);
    clock.advance(1000);  // heard a second the playback thread has not yet delivered
    const auto audio = pcm(0, 50000);
    std::size_t taken = 0;
    while (taken < audio.size()) {
        const std::size_t n = out.write(std::span(audio).subspan(taken));
        ASSERT_GT(n, 0u);
        taken += n;
        if (taken >= std::size_t(44100 + 22050) * 4) {
            break;
        }
    }
    EXPECT_EQ(out.framesRecorded(), 44100);
    // The header is right while the file is still open.
    const WavContents midway = readWav(dir.file("late.wav"));
    EXPECT_TRUE(midway.headerOk);
    EXPECT_EQ(midway.samples, expectedSamples(0, 44100));

    out.pause();
    out.discard();  // what was queued beyond the heard second goes
    out.start(1'000'000);
    out.write(pcm(900'000, 1000));
    clock.advance(10);
    out.service();
    out.finish();
    const WavContents all = readWav(dir.file("late.wav"));
    EXPECT_TRUE(all.headerOk);
    auto expected = expectedSamples(0, 44100);
    const auto after = expectedSamples(900'000, 441);
    expected.insert(expected.end(), after.begin(), after.end());
    EXPECT_EQ(all.samples, expected);
}

TEST(WavOutput, AnUnwritableFileIsReported) {
    ManualClock clock;
    auto wav = WavOutput::create("/nonexistent-folder/heard.wav", clock);
    ASSERT_FALSE(wav.ok());
    EXPECT_NE(wav.error().find("/nonexistent-folder/heard.wav"), std::string::npos);
}

}  // namespace
}  // namespace sonarch
