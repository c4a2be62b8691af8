#pragma once

namespace sonarch {

// What an audio output tells the session about the sound itself, beside what it plays.
enum class SoundTrouble {
    None,        // the sound flows, or flows again
    ServerGone,  // the sound server went away while playing; the output keeps trying
};

}  // namespace sonarch
