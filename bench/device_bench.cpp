// Times the device's round trip for a status query and the disc key of a full disc.
#include <benchmark/benchmark.h>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/disc_key.h"

namespace {

using namespace sonarch;

void BM_StatusPositionQuery(benchmark::State& state) {
    ManualClock clock;
    VirtualDrive drive(demoDisc());
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    device.send("open cdaudio alias cd wait shareable", 0);
    device.send("set cd time format tmsf", 0);
    device.send("play cd from 3", 0);
    MessageRecorder messages;
    DeviceError error;
    DeviceLayer layer(device, messages, error);
    ReplyBuffer reply(30);
    for (auto _ : state) {
        clock.advance(13);
        layer.DeviceQuery("status cd position", reply);
        benchmark::DoNotOptimize(reply);
    }
}
BENCHMARK(BM_StatusPositionQuery);

void BM_DiscKey99Tracks(benchmark::State& state) {
    ManualClock clock;
    VirtualDrive drive(std::vector<VirtualTrack>(99, VirtualTrack{3000, true}));
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    MessageRecorder messages;
    DeviceError error;
    DeviceLayer layer(device, messages, error);
    for (auto _ : state) {
        auto key = ComputeDiscKey(layer, {});
        benchmark::DoNotOptimize(key);
    }
}
BENCHMARK(BM_DiscKey99Tracks);

}  // namespace
