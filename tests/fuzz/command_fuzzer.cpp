// The command interpreter: every line is one command string sent to the device, as qvmci
// sends them; lines starting with a dot move the clock or the disc. Whatever arrives, the
// device answers with a code and a text that fits the buffer.
#include <cstdint>
#include <string>
#include <string_view>

#include "audio/paced_output.h"
#include "base/number_text.h"
#include "device/drives/virtual_drive.h"
#include "device/engine/clock.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/msf.h"
#include "fuzz_check.h"

using namespace sonarch;

namespace {

void shellLine(std::string_view line, CdAudioDevice& device, ManualClock& clock,
               VirtualDrive& drive, int replyLength) {
    if (line.rfind(".advance ", 0) == 0) {
        const auto ms = parseInteger(line.substr(9));
        // At most a disc's length at a time, as qvmci takes it.
        if (ms && *ms >= 0 && *ms <= 6'000'000) {
            clock.advance(*ms);
        }
    } else if (line == ".insert") {
        drive.insert();
    } else if (line == ".remove") {
        drive.remove();
    } else {
        const MciResult result = device.send(line, replyLength);
        if (result.code != 0) {
            FUZZ_CHECK(result.reply.empty());
            FUZZ_CHECK(!device.errorText(result.code).empty());
        } else {
            FUZZ_CHECK(replyLength == 0 || int(result.reply.size()) < replyLength);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the reply buffer, as the player's callers use 0 to 255.
    const int replyLength = data[0];
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    ManualClock clock;
    VirtualDrive drive({{13500, true}, {6760, false}, {155, true}, {4500, true}});
    CdAudioDevice device(drive, std::make_unique<NullOutput>(clock));
    int commands = 0;
    while (!text.empty() && commands++ < 64) {
        const std::size_t end = text.find('\n');
        shellLine(text.substr(0, end), device, clock, drive, replyLength);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return 0;
}
