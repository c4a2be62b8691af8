// What the player's seeking and volume make the device play, as heard in a WAV output.
#include <gtest/gtest.h>

#include "audio/wav_output.h"
#include "core/player.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "support/disc_images.h"
#include "support/player_harness.h"

namespace sonarch {
namespace {

constexpr int kSecond = 44100;

class RecordedPlayer {
public:
    RecordedPlayer() {
        wav = std::move(WavOutput::create(dir.file("heard.wav"), clock).value());
        device = std::make_unique<CdAudioDevice>(drive, *wav);
        mixer = std::make_unique<Mixer>(wav.get());
        player = std::make_unique<Player>(PlayerServices{*device, *mixer, library, messages,
                                                         [](WindowPosition) { return Settings{}; },
                                                         [](const Settings&, WindowPosition) {}});
        model = std::make_unique<PlayerWindowModel>(*player);
        player->loadSettings({});
        player->start();
    }
    void tick(int ms = 500) {
        clock.advance(ms);
        player->Timer1_Timer();
    }
    std::vector<std::int16_t> heard() {
        model.reset();
        player.reset();
        device.reset();
        wav->finish();
        const testing::WavContents contents = testing::readWav(dir.file("heard.wav"));
        EXPECT_TRUE(contents.headerOk);
        std::vector<std::int16_t> left;
        for (std::size_t i = 0; i < contents.samples.size(); i += 2) {
            left.push_back(contents.samples[i]);
        }
        return left;
    }
    // The disc's own samples from `first` on.
    std::vector<std::int16_t> disc(std::int64_t first, std::int64_t count, double scale = 1) {
        std::vector<std::int16_t> samples;
        for (std::int64_t i = 0; i < count; ++i) {
            samples.push_back(static_cast<std::int16_t>(drive.sampleAt(first + i) * scale));
        }
        return samples;
    }

    testing::TempDir dir;
    ManualClock clock;
    VirtualDrive drive{testing::tracksOf({"03:00:00", "02:00:00"})};
    std::unique_ptr<WavOutput> wav;
    std::unique_ptr<CdAudioDevice> device;
    std::unique_ptr<Mixer> mixer;
    MessageRecorder messages;
    LibraryStore library;
    std::unique_ptr<Player> player;
    std::unique_ptr<PlayerWindowModel> model;
};

// The samples match within the rounding of the volume scaling.
void expectHeard(const std::vector<std::int16_t>& heard, const std::vector<std::int16_t>& disc,
                 double scale) {
    ASSERT_EQ(heard.size(), disc.size());
    for (std::size_t i = 0; i < disc.size(); ++i) {
        ASSERT_NEAR(heard[i], disc[i] * scale, 1.0) << "sample " << i;
    }
}

constexpr double kStartVolume = 34000.0 / 65000.0;

std::vector<std::int16_t> slice(const std::vector<std::int16_t>& all, std::size_t from,
                                std::size_t count) {
    if (from + count > all.size()) {
        return {};
    }
    return {all.begin() + std::ptrdiff_t(from), all.begin() + std::ptrdiff_t(from + count)};
}

TEST(HeardAudio, AClickOnTheBarPlaysTheTrackFromThatPoint) {
    RecordedPlayer r;
    r.tick();  // reads the disc and starts track 1
    r.clock.advance(1000);
    r.model->clickOnBar(0.5);  // the middle of the 3-minute track
    r.clock.advance(1000);
    const std::vector<std::int16_t> heard = r.heard();
    ASSERT_EQ(heard.size(), 2u * kSecond);
    expectHeard(slice(heard, 0, kSecond), r.disc(0, kSecond), kStartVolume);
    const std::int64_t target = 90 * 75 * 588;  // 90 s into the disc
    expectHeard(slice(heard, kSecond, kSecond), r.disc(target, kSecond), kStartVolume);
}

TEST(HeardAudio, FastForwardSkipsTenSecondsOfWhatIsHeard) {
    RecordedPlayer r;
    r.tick();
    r.clock.advance(2000);
    r.player->fastForward();
    r.clock.advance(1000);
    const std::vector<std::int16_t> heard = r.heard();
    ASSERT_EQ(heard.size(), 3u * kSecond);
    expectHeard(slice(heard, 2 * kSecond, kSecond), r.disc(12 * kSecond, kSecond), kStartVolume);
}

TEST(HeardAudio, TheVolumeBarScalesTheSamples) {
    RecordedPlayer r;
    r.tick();
    r.model->setVolumeFromBar(50);  // the middle of the bar
    EXPECT_EQ(r.player->state().settings.volumeLevel, 32500);
    r.clock.advance(1000);
    const std::vector<std::int16_t> heard = r.heard();
    ASSERT_EQ(heard.size(), std::size_t(kSecond));
    expectHeard(heard, r.disc(0, kSecond), 0.5);
}

}  // namespace
}  // namespace sonarch
