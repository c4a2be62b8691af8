#include "device/engine/ring_buffer.h"

#include <algorithm>
#include <cstring>

namespace sonarch {

RingBuffer::RingBuffer(std::size_t capacity) : m_data(std::max<std::size_t>(capacity, 1)) {}

std::size_t RingBuffer::push(std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), room());
    std::size_t tail = (m_head + m_size) % m_data.size();
    std::size_t done = 0;
    while (done < count) {
        const std::size_t piece = std::min(count - done, m_data.size() - tail);
        std::memcpy(m_data.data() + tail, bytes.data() + done, piece);
        done += piece;
        tail = (tail + piece) % m_data.size();
    }
    m_size += count;
    return count;
}

std::size_t RingBuffer::pop(std::span<std::uint8_t> out) {
    const std::size_t count = std::min(out.size(), m_size);
    std::size_t done = 0;
    while (done < count) {
        const std::size_t piece = std::min(count - done, m_data.size() - m_head);
        std::memcpy(out.data() + done, m_data.data() + m_head, piece);
        done += piece;
        m_head = (m_head + piece) % m_data.size();
    }
    m_size -= count;
    return count;
}

void RingBuffer::truncate(std::size_t count) {
    m_size = std::min(m_size, count);
}

}  // namespace sonarch
