#pragma once

#include <atomic>
#include <cstdint>

namespace sonarch {

// Source of time for the device. The program uses the steady clock; tests and
// `qvmci --clock manual` move a manual clock by hand, so nothing depends on wall time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;
};

class SteadyClock : public Clock {
public:
    std::int64_t nowMs() const override;
};

class ManualClock : public Clock {
public:
    std::int64_t nowMs() const override { return m_now.load(); }
    void advance(std::int64_t ms) { m_now += ms; }

private:
    std::atomic<std::int64_t> m_now{0};
};

}  // namespace sonarch
