#include "volume/vol_control.h"

namespace sonarch {

bool Mixer::open() {
    m_open = m_output != nullptr;
    return m_open;
}

bool SetMixerVolume(Mixer& mixer, std::int32_t volume) {
    AudioOutput* output = mixer.output();
    return output != nullptr && output->setVolume(volume);
}

}  // namespace sonarch
