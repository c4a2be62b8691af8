#include "audio/frame_queue.h"

#include <algorithm>
#include <cstring>

#include "device/engine/audio_output.h"

namespace sonarch {

FrameQueue::FrameQueue(std::int64_t capacityFrames)
    : m_bytes(std::size_t(std::max<std::int64_t>(capacityFrames, 1)) * kBytesPerSampleFrame),
      m_capacity(std::max<std::int64_t>(capacityFrames, 1)) {}

std::size_t FrameQueue::offsetOf(std::int64_t frame) const {
    return (m_head + std::size_t(frame - m_begin) * kBytesPerSampleFrame) % m_bytes.size();
}

std::int64_t FrameQueue::push(std::span<const std::uint8_t> pcm) {
    const std::int64_t frames =
        std::min<std::int64_t>(std::int64_t(pcm.size() / kBytesPerSampleFrame), room());
    std::size_t at = offsetOf(end());
    std::size_t left = std::size_t(frames) * kBytesPerSampleFrame;
    const std::uint8_t* from = pcm.data();
    while (left > 0) {
        const std::size_t run = std::min(left, m_bytes.size() - at);
        std::memcpy(m_bytes.data() + at, from, run);
        from += run;
        left -= run;
        at = (at + run) % m_bytes.size();
    }
    m_size += frames;
    return frames;
}

void FrameQueue::copy(std::int64_t from, std::span<std::uint8_t> out) const {
    std::size_t at = offsetOf(from);
    std::size_t left = out.size() - out.size() % kBytesPerSampleFrame;
    std::uint8_t* to = out.data();
    while (left > 0) {
        const std::size_t run = std::min(left, m_bytes.size() - at);
        std::memcpy(to, m_bytes.data() + at, run);
        to += run;
        left -= run;
        at = (at + run) % m_bytes.size();
    }
}

void FrameQueue::dropBefore(std::int64_t frame) {
    const std::int64_t dropped = std::clamp<std::int64_t>(frame - m_begin, 0, m_size);
    m_head = offsetOf(m_begin + dropped);
    m_begin += dropped;
    m_size -= dropped;
    if (m_size == 0) {
        m_head = 0;
    }
}

void FrameQueue::truncate(std::int64_t frame) {
    if (frame <= m_begin) {
        // Nothing is left: the next frame pushed is `frame`, wherever that is.
        m_begin = frame;
        m_size = 0;
        m_head = 0;
        return;
    }
    m_size = std::min(m_size, frame - m_begin);
}

}  // namespace sonarch
