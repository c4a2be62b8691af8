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
    const auto second = pcm(0, 44100);
    std::size_t written = out.write(second);
    clock.advance(250);
    EXPECT_EQ(out.framesHeard(), 11025);
    out.pause();
    clock.advance(1000);
    EXPECT_EQ(out.framesHeard(), 11025);
    out.start(44100);
    while (written < second.size()) {
        written += out.write(std::span(second).subspan(written));
        clock.advance(100);
    }
    clock.advance(5000);
    EXPECT_EQ(out.framesHeard(), 44100) << "never past the stream's end";
    EXPECT_EQ(out.silenceHeard(), 0) << "nor is the end heard as a gap";
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

TEST(WavOutput, AnOutputLeftWithoutFramesRecordsSilenceAndTheStreamWaits) {
    ManualClock clock;
    TempDir dir;
    auto wav = WavOutput::create(dir.file("late.wav"), clock);
    ASSERT_TRUE(wav.ok());
    WavOutput& out = *wav.value();
    out.start(1'000'000);
    ASSERT_EQ(out.write(pcm(0, 4410)), std::size_t(4410) * 4);
    // No playback thread brings more: after the tenth of a second written, two tenths of
    // silence, as a sound card plays when it runs dry.
    clock.advance(300);
    EXPECT_EQ(out.framesHeard(), 4410) << "the stream waits for its frames";
    EXPECT_EQ(out.underruns(), 1);
    ASSERT_EQ(out.write(pcm(4410, 8820)), std::size_t(8820) * 4);
    clock.advance(200);
    EXPECT_EQ(out.framesHeard(), 4410 + 8820);
    EXPECT_EQ(out.underruns(), 1);
    out.service();
    // The header is right while the file is still open.
    const WavContents midway = readWav(dir.file("late.wav"));
    EXPECT_TRUE(midway.headerOk);
    EXPECT_EQ(midway.samples.size(), std::size_t(4410 + 8820 + 8820) * 2);

    out.pause();
    out.discard();  // nothing was queued beyond what was heard
    out.finish();
    const WavContents all = readWav(dir.file("late.wav"));
    EXPECT_TRUE(all.headerOk);
    auto expected = expectedSamples(0, 4410);
    expected.resize(expected.size() + std::size_t(8820) * 2, 0);
    const auto after = expectedSamples(4410, 8820);
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
