#include "device/playback_engine.h"

#include <algorithm>

#include "device/drive.h"

namespace sonarch {

void PlaybackEngine::play(std::int32_t from, std::int32_t to) {
    m_position = from;
    m_anchor = from;
    m_end = to;
    m_startMs = m_clock.nowMs();
    m_mode = PlayMode::Playing;
    settle();
}

void PlaybackEngine::resume(std::int32_t to) {
    play(position(), to);
}

void PlaybackEngine::pause() {
    settle();
    if (m_mode == PlayMode::Playing) {
        m_mode = PlayMode::Paused;
    }
}

void PlaybackEngine::stop() {
    settle();
    m_mode = PlayMode::Stopped;
}

void PlaybackEngine::seek(std::int32_t address) {
    m_mode = PlayMode::Stopped;
    m_position = address;
}

std::int32_t PlaybackEngine::position() {
    settle();
    return m_position;
}

PlayMode PlaybackEngine::mode() {
    settle();
    return m_mode;
}

void PlaybackEngine::settle() {
    if (m_mode != PlayMode::Playing) {
        return;
    }
    const std::int64_t now = m_clock.nowMs();
    const std::int64_t frames = (now - m_startMs) * kFramesPerSecond / 1000;
    const std::int64_t reached = std::int64_t{m_anchor} + frames;
    if (reached >= m_end - 1) {
        m_position = std::max(m_end - 1, m_anchor);
        m_mode = PlayMode::Stopped;
        return;
    }
    m_position = static_cast<std::int32_t>(reached);
}

}  // namespace sonarch
