// qvmci: a shell for the CD audio device. One command string per input line, one output
// line per command: the reply (possibly empty), or "error N: TEXT".
#include <iostream>
#include <memory>
#include <string>

#include "audio/audio_output_factory.h"
#include "base/number_text.h"
#include "device/drives/drive_factory.h"
#include "device/drives/virtual_drive.h"
#include "device/engine/clock.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/msf.h"

namespace {

constexpr int kShellReplyLength = 256;
// One step of the manual clock is at most 100 minutes, longer than any disc plays, and the
// clock stops at about 31 years: the frames heard in that time are counted without overflow.
constexpr std::int64_t kMaxAdvanceMs = 100 * 60 * 1000;
constexpr std::int64_t kMaxClockMs = 1'000'000'000'000;

void printUsage() {
    std::cout << "usage: qvmci [--drive demo|virtual:LEN,...|PATH] [--audio system|null|wav:FILE]\n"
                 "             [--clock system|manual] [--help]\n"
                 "Reads CD audio device commands from standard input, one per line, and\n"
                 "prints one line per command: the reply, or 'error N: TEXT'.\n"
                 "PATH is a CD drive (/dev/sr0) or a disc image (.cue, .toc, .nrg); without\n"
                 "--drive the system's default CD drive is used. --audio null (the default)\n"
                 "plays silently, system through the sound server, wav:FILE into a WAV file.\n"
                 "Shell lines: .advance MS (manual clock, at most 6000000 ms at a time),\n"
                 ".insert, .remove (virtual drive).\n";
}

}  // namespace

int main(int argc, char** argv) {
    using namespace sonarch;
    std::string driveName;
    std::string audioName = "null";
    bool manualClock = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            printUsage();
            return 0;
        }
        if (arg == "--drive" && i + 1 < argc) {
            driveName = argv[++i];
        } else if (arg == "--audio" && i + 1 < argc) {
            audioName = argv[++i];
        } else if (arg == "--clock" && i + 1 < argc) {
            const std::string kind = argv[++i];
            if (kind != "manual" && kind != "system") {
                std::cerr << "qvmci: --clock takes system or manual\n";
                return 2;
            }
            manualClock = kind == "manual";
        } else {
            std::cerr << "qvmci: unknown option '" << arg << "' (see --help)\n";
            return 2;
        }
    }

    auto drive = openDrive(driveName);
    if (!drive.ok()) {
        std::cerr << "qvmci: " << drive.error() << "\n";
        return 1;
    }
    // A physical drive looks at its disc on a thread of its own: wait for that look.
    drive.value()->waitUntilSettled();
    ManualClock manual;
    SteadyClock steady;
    Clock& clock = manualClock ? static_cast<Clock&>(manual) : steady;
    auto audio = openAudioOutput(audioName, clock);
    if (!audio.ok()) {
        std::cerr << "qvmci: " << audio.error() << "\n";
        return 2;
    }
    if (!audio.value().opened) {
        std::cerr << "qvmci: " << audio.value().error << " Playing silently.\n";
    }
    // Declared after the output, so the device is gone (and has delivered everything
    // heard) before the output closes its file.
    CdAudioDevice device(*drive.value(), *audio.value().output);
    auto* virtualDrive = dynamic_cast<VirtualDrive*>(drive.value().get());

    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.rfind(".advance", 0) == 0) {
            const auto ms = parseInteger(line.size() > 9 ? std::string_view(line).substr(9) : "");
            if (!manualClock || !ms || *ms < 0) {
                std::cout << "error: .advance MS needs --clock manual and a whole number of ms\n";
            } else if (*ms > kMaxAdvanceMs) {
                std::cout << "error: .advance takes at most " << kMaxAdvanceMs
                          << " ms (100 minutes, longer than any disc plays)\n";
            } else if (manual.nowMs() > kMaxClockMs - *ms) {
                std::cout << "error: the clock has gone as far as it goes\n";
            } else {
                manual.advance(*ms);
                std::cout << "\n";
            }
        } else if (line == ".insert" || line == ".remove") {
            if (!virtualDrive) {
                std::cout << "error: " << line << " works on a virtual drive only\n";
            } else {
                line == ".insert" ? virtualDrive->insert() : virtualDrive->remove();
                std::cout << "\n";
            }
        } else {
            const MciResult result = device.send(line, kShellReplyLength);
            if (result.code == 0) {
                std::cout << result.reply << "\n";
            } else {
                std::cout << "error " << result.code << ": " << device.errorText(result.code)
                          << "\n";
            }
        }
        std::cout.flush();
    }
    return 0;
}
