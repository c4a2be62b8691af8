#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

namespace sonarch {

// Source of time for the device. The program uses the steady clock; tests and
// `qvmci --clock manual` move a manual clock by hand, so nothing depends on wall time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual std::int64_t nowMs() const = 0;

    // Calls `moved` (on the thread that moves the clock) whenever the time jumps by hand, so
    // a thread waiting for the time to pass can wake at once. A clock that moves by itself
    // never calls it: its waiters look again after a short wait. Returns an id for unlisten.
    virtual int listen(std::function<void()> moved) {
        (void)moved;
        return 0;
    }
    virtual void unlisten(int id) { (void)id; }
    // True for a clock that jumps when moved by hand, while nothing else waits for it: what
    // a jump covers counts as heard only once it has been delivered, so that sound which
    // takes real time to read (a physical drive) is still heard in full.
    virtual bool jumps() const { return false; }
};

class SteadyClock : public Clock {
public:
    std::int64_t nowMs() const override;
};

class ManualClock : public Clock {
public:
    std::int64_t nowMs() const override { return m_now.load(); }
    void advance(std::int64_t ms);

    int listen(std::function<void()> moved) override;
    void unlisten(int id) override;
    bool jumps() const override { return true; }

private:
    std::atomic<std::int64_t> m_now{0};
    std::mutex m_mutex;
    std::map<int, std::function<void()>> m_listeners;
    int m_nextId = 1;
};

}  // namespace sonarch
