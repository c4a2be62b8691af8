#pragma once

#include <cstdint>

#include "device/engine/audio_output.h"

namespace sonarch {

// The player's mixer: the volume of its own output stream. There is one mixer, so writes
// made before it is opened reach the same stream.
class Mixer {
public:
    // `output` is the stream the device plays into, or null when no audio output could be
    // opened (the mixer then cannot open).
    explicit Mixer(AudioOutput* output) : m_output(output) {}

    // Opening fails when there is no audio output to control.
    bool open();
    bool isOpen() const { return m_open; }
    AudioOutput* output() const { return m_output; }

private:
    AudioOutput* m_output;
    bool m_open = false;
};

// Sets the stream volume: 0 silent to 65000 full, linear. Returns true when the output
// accepted the value; a value outside 0..65000 is refused and changes nothing.
bool SetMixerVolume(Mixer& mixer, std::int32_t volume);

}  // namespace sonarch
