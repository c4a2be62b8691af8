#include "device/engine/clock.h"

#include <chrono>

namespace sonarch {

std::int64_t SteadyClock::nowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void ManualClock::advance(std::int64_t ms) {
    m_now += ms;
    std::lock_guard lock(m_mutex);
    for (auto& [id, moved] : m_listeners) {
        moved();
    }
}

int ManualClock::listen(std::function<void()> moved) {
    std::lock_guard lock(m_mutex);
    const int id = m_nextId++;
    m_listeners[id] = std::move(moved);
    return id;
}

void ManualClock::unlisten(int id) {
    std::lock_guard lock(m_mutex);
    m_listeners.erase(id);
}

}  // namespace sonarch
