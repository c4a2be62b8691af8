#pragma once

#include <cstdint>

#include "device/clock.h"

namespace sonarch {

enum class PlayMode { Stopped, Playing, Paused };

// Where the drive's play head is, in absolute frame addresses. While playing the head
// moves with the clock; at the end of the played range it stops on the range's last
// frame, as a CD drive does at the end of a disc.
class PlaybackEngine {
public:
    explicit PlaybackEngine(Clock& clock) : m_clock(clock) {}

    // Plays the frames [from, to).
    void play(std::int32_t from, std::int32_t to);
    void resume(std::int32_t to);
    void pause();
    void stop();
    void seek(std::int32_t address);

    std::int32_t position();
    PlayMode mode();

private:
    void settle();

    Clock& m_clock;
    PlayMode m_mode = PlayMode::Stopped;
    std::int32_t m_position = 0;
    std::int32_t m_anchor = 0;  // the address at m_startMs while playing
    std::int32_t m_end = 0;
    std::int64_t m_startMs = 0;
};

}  // namespace sonarch
