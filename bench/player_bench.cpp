// Times one status poll run with a loaded disc, and start-up up to the first poll.
#include <benchmark/benchmark.h>

#include <QApplication>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "core/player.h"
#include "core/player_services.h"
#include "core/player_window_model.h"
#include "desktop/open_with_shell.h"
#include "device/drives/virtual_drive.h"
#include "device/mci/cd_audio_device.h"
#include "library/library_store.h"
#include "model/player_state.h"
#include "ui/cd_player.h"

namespace {

using namespace sonarch;

struct Rig {
    ManualClock clock;
    VirtualDrive drive{demoDisc()};
    NullOutput output{clock};
    CdAudioDevice device{drive, output};
    Mixer mixer{&output};
    MessageRecorder messages;
    LibraryStore library;
    Player player{PlayerServices{device, mixer, library, messages,
                                 [](WindowPosition) { return Settings{}; },
                                 [](const Settings&, WindowPosition) {}}};
    PlayerWindowModel model{player};
    ShellOpener shell{nullptr};
    CDPlayer window{model, WindowServices{shell, DesktopRegistration(XdgFolders{}, "", ""), {}}};
};

void BM_PollRunWithALoadedDisc(benchmark::State& state) {
    Rig rig;
    rig.window.Form_Load();
    rig.player.PollStatus();  // reads the disc and starts it
    for (auto _ : state) {
        rig.clock.advance(500);
        rig.player.PollStatus();
    }
}
BENCHMARK(BM_PollRunWithALoadedDisc)->Unit(benchmark::kMicrosecond);

void BM_StartUpToFirstPoll(benchmark::State& state) {
    for (auto _ : state) {
        Rig rig;
        rig.window.Form_Load();
        rig.player.PollStatus();
        benchmark::DoNotOptimize(rig.player.state().discLoaded);
    }
}
BENCHMARK(BM_StartUpToFirstPoll)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
