#pragma once

#include <memory>
#include <string>

#include "audio/desktop_stream.h"
#include "base/result.h"
#include "device/engine/audio_output.h"
#include "device/engine/clock.h"

namespace sonarch {

struct AudioChoice {
    // Always set. When the output asked for could not be opened, a silent output on the
    // clock stands in, so the device still keeps time and plays on.
    std::unique_ptr<AudioOutput> output;
    // False when the output asked for could not be opened: the mixer then cannot open.
    bool opened = false;
    std::string error;  // why it could not be opened
    // The same output as the desktop's sound server sees it; null for an output that does
    // not play there.
    DesktopStream* desktop = nullptr;
};

// Opens the output named on the command line: "system" (the sound server's default
// output), "null" (silent, at the pace of `clock`) or "wav:FILE" (records what is heard,
// at the pace of `clock`). Fails only for a text that names no output. `clock` must
// outlive the output.
Result<AudioChoice> openAudioOutput(const std::string& name, Clock& clock);

}  // namespace sonarch
