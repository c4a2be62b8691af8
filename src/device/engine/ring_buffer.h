#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace sonarch {

// A fixed-size byte ring between the playback thread and whatever plays the sound. Not
// locked itself: its owner holds a lock around every call.
class RingBuffer {
public:
    explicit RingBuffer(std::size_t capacity);

    std::size_t capacity() const { return m_data.size(); }
    std::size_t size() const { return m_size; }
    std::size_t room() const { return m_data.size() - m_size; }

    // Appends as much of `bytes` as fits; returns how much.
    std::size_t push(std::span<const std::uint8_t> bytes);
    // Takes up to out.size() bytes from the front; returns how many.
    std::size_t pop(std::span<std::uint8_t> out);
    // Keeps the first `count` bytes and drops the rest.
    void truncate(std::size_t count);
    void clear() { m_size = 0; }

private:
    std::vector<std::uint8_t> m_data;
    std::size_t m_head = 0;  // index of the first byte
    std::size_t m_size = 0;
};

}  // namespace sonarch
