// The playback path on a manual clock: the CPU time to read a minute of audio from a disc
// image and deliver it to the null output, wake-ups aside (the clock moves only by hand;
// realtime_playback_bench measures playing at real pace), and the delay from "play cd" to
// the first sample written to the output.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "audio/paced_output.h"
#include "device/drives/drive_factory.h"
#include "device/mci/cd_audio_device.h"

namespace {

using namespace sonarch;

constexpr int kImageMinutes = 5;

// A null output that tells when frames arrive.
class WatchedOutput : public NullOutput {
public:
    using NullOutput::NullOutput;

    std::size_t write(std::span<const std::uint8_t> pcm) override {
        const std::size_t taken = NullOutput::write(pcm);
        if (taken > 0) {
            std::lock_guard lock(m_mutex);
            if (m_written == 0) {
                m_first = std::chrono::steady_clock::now();
            }
            m_written += std::int64_t(taken / kBytesPerSampleFrame);
            m_arrived.notify_all();
        }
        return taken;
    }

    void waitFor(std::int64_t frames) {
        std::unique_lock lock(m_mutex);
        m_arrived.wait(lock, [&] { return m_written >= frames; });
    }
    std::chrono::steady_clock::time_point waitForFirst() {
        waitFor(1);
        std::lock_guard lock(m_mutex);
        return m_first;
    }
    void reset() {
        std::lock_guard lock(m_mutex);
        m_written = 0;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::int64_t m_written = 0;
    std::chrono::steady_clock::time_point m_first;
};

// A CUE/BIN image of one 5-minute audio track, written once per run.
const std::string& imagePath() {
    static const std::string path = [] {
        std::string folder =
            (std::filesystem::temp_directory_path() / "sonarch-bench-XXXXXX").string();
        if (!mkdtemp(folder.data())) {
            return std::string();
        }
        std::ofstream bin(folder + "/disc.bin", std::ios::binary);
        std::vector<char> sector(kBytesPerFrame);
        for (std::int32_t s = 0; s < kImageMinutes * 60 * 75; ++s) {
            for (std::size_t i = 0; i < sector.size(); ++i) {
                sector[i] = static_cast<char>((s * 7 + int(i)) & 0xff);
            }
            bin.write(sector.data(), std::streamsize(sector.size()));
        }
        std::ofstream(folder + "/disc.cue") << "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n"
                                               "    INDEX 01 00:00:00\n";
        return folder + "/disc.cue";
    }();
    return path;
}

// One iteration plays one minute of audio, the clock moving 100 ms at a time; after each
// step the playback thread has topped the output up whenever half of it had been heard.
// CPU time is the whole process's, playback thread included.
void BM_ReadAndDeliverAudioMinuteOnManualClock(benchmark::State& state) {
    auto drive = openDrive(imagePath());
    if (!drive.ok()) {
        state.SkipWithError(drive.error().c_str());
        return;
    }
    ManualClock clock;
    WatchedOutput output(clock);
    CdAudioDevice device(*drive.value(), output);
    device.send("open cdaudio alias cd wait shareable", 0);
    device.send("set cd time format milliseconds", 0);
    std::int64_t start = 0;
    constexpr std::int64_t kMinute = 60 * 44100;
    const std::int64_t topUpAt = output.capacity() / 2;
    for (auto _ : state) {
        output.reset();
        const std::int64_t base = output.framesHeard();
        device.send("play cd from " + std::to_string(start), 0);
        for (int step = 0; step < 600; ++step) {
            clock.advance(100);
            const std::int64_t heard = output.framesHeard() - base;
            output.waitFor(std::min(heard + topUpAt + 1, kMinute));
        }
        device.send("stop cd", 0);
        start = (start + 60'000) % ((kImageMinutes - 1) * 60'000);
    }
    state.counters["audio_min"] = benchmark::Counter(double(state.iterations()));
}
BENCHMARK(BM_ReadAndDeliverAudioMinuteOnManualClock)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMillisecond);

// The delay from "play cd from N" to the first sample the output takes, on the steady
// clock, each time at a new place on the disc.
void BM_PlayToFirstSample(benchmark::State& state) {
    auto drive = openDrive(imagePath());
    if (!drive.ok()) {
        state.SkipWithError(drive.error().c_str());
        return;
    }
    SteadyClock clock;
    WatchedOutput output(clock);
    CdAudioDevice device(*drive.value(), output);
    device.send("open cdaudio alias cd wait shareable", 0);
    device.send("set cd time format milliseconds", 0);
    std::int64_t where = 0;
    for (auto _ : state) {
        device.send("stop cd", 0);
        output.reset();  // nothing is written while stopped
        const std::string command = "play cd from " + std::to_string(where);
        const auto sent = std::chrono::steady_clock::now();
        device.send(command, 0);
        const auto first = output.waitForFirst();
        state.SetIterationTime(std::chrono::duration<double>(first - sent).count());
        where = (where + 97'000) % ((kImageMinutes - 1) * 60'000);
    }
}
BENCHMARK(BM_PlayToFirstSample)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
