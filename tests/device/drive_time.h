#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "device/engine/clock.h"

namespace sonarch::testing {

// The fake drive's own time (fake_cd_drive.h), as the clock of everything that plays from
// it: the audio output hears by it and the drive backend keeps its budgets by it. It moves
// a small step at a time, and only once every other thread of the process waits (for the
// drive, a lock or a wake-up), as if the machine were infinitely fast: what the test sees
// is what the drive's timing makes of the backend, however loaded the machine is.
class DriveTime : public Clock {
public:
    DriveTime() = default;
    ~DriveTime() override;

    std::int64_t nowMs() const override;
    int listen(std::function<void()> moved) override;
    void unlisten(int id) override;

    // Lets `ms` of drive time pass.
    void run(std::int64_t ms);
    // Lets time pass until `done` holds (asked between steps), at most `limitMs`.
    bool runUntil(const std::function<bool()>& done, std::int64_t limitMs);
    // Lets time pass on a thread of its own until stopRunning(), for a test whose own
    // thread waits on something that needs the drive.
    void runInBackground();
    void stopRunning();

    // Steps taken while some thread was still busy after a long wait (a thread that never
    // sleeps). Such a step is taken anyway; a test may check that there were none.
    int restlessSteps() const { return m_restless.load(); }

private:
    void step();

    std::mutex m_mutex;
    std::map<int, std::function<void()>> m_listeners;
    int m_nextId = 1;
    std::atomic<int> m_restless{0};
    std::atomic<bool> m_running{false};
    std::thread m_background;
};

}  // namespace sonarch::testing
