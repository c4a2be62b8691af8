#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sonarch {

// A fixed number of sample frames of the output's stream, each known by its place in the
// stream: [begin(), end()). Frames go in at the end and leave from the front, and any frame
// still held can be read again. Not locked itself: its owner holds a lock around every call.
class FrameQueue {
public:
    explicit FrameQueue(std::int64_t capacityFrames);

    std::int64_t begin() const { return m_begin; }
    std::int64_t end() const { return m_begin + m_size; }
    std::int64_t room() const { return m_capacity - m_size; }

    // Appends as many whole frames of `pcm` as fit; returns how many.
    std::int64_t push(std::span<const std::uint8_t> pcm);
    // Copies out.size() / 4 frames from frame `from` on, all of which must be held.
    void copy(std::int64_t from, std::span<std::uint8_t> out) const;
    // Drops the frames before `frame` (at most all of them).
    void dropBefore(std::int64_t frame);
    // Drops the frames from `frame` on; the next frame pushed takes its place.
    void truncate(std::int64_t frame);

private:
    std::size_t offsetOf(std::int64_t frame) const;

    std::vector<std::uint8_t> m_bytes;
    std::int64_t m_capacity;
    std::size_t m_head = 0;  // byte offset of begin()
    std::int64_t m_begin = 0;
    std::int64_t m_size = 0;
};

}  // namespace sonarch
