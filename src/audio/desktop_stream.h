#pragma once

#include <functional>
#include <string>

#include "base/sound_trouble.h"

namespace sonarch {

// What an output that plays through the desktop's sound server offers beside the sound:
// the desktop names its stream after the track being played, and the output says when
// the sound stops or comes back.
class DesktopStream {
public:
    virtual ~DesktopStream() = default;

    // The current track's title and artist, empty when there is none.
    virtual void describeTrack(const std::string& title, const std::string& artist) = 0;
    // Called on the output's own thread whenever its trouble changes; it must not block.
    // Once this returns, the listener it replaced is no longer called.
    virtual void setTroubleListener(std::function<void(SoundTrouble)> listener) = 0;
};

}  // namespace sonarch
