#include "drive_time.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fake_cd_drive.h"

namespace sonarch::testing {

namespace {

// Small against the half second an output holds, so that it is topped up in time.
constexpr std::int64_t kStepUs = 20'000;
// How long a step waits for the process to fall quiet before it goes on anyway.
constexpr auto kRestless = std::chrono::seconds(10);

fakecd::Drive& drive() {
    return fakecd::Drive::instance();
}

// The state letter of a thread of this process, from /proc: 'S' while it sleeps.
char threadState(const char* tid) {
    const std::string path = std::string("/proc/self/task/") + tid + "/stat";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 'S';  // it ended
    }
    char text[512];
    const ssize_t size = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    if (size <= 0) {
        return 'S';
    }
    text[size] = '\0';
    const char* name_end = std::strrchr(text, ')');
    return name_end && name_end[1] == ' ' ? name_end[2] : 'R';
}

bool everyOtherThreadSleeps() {
    const std::string self = std::to_string(::gettid());
    DIR* tasks = ::opendir("/proc/self/task");
    if (!tasks) {
        return true;
    }
    bool quiet = true;
    while (const dirent* entry = ::readdir(tasks)) {
        if (entry->d_name[0] == '.' || self == entry->d_name) {
            continue;
        }
        if (threadState(entry->d_name) != 'S') {
            quiet = false;
            break;
        }
    }
    ::closedir(tasks);
    return quiet;
}

// Waits until every other thread sleeps, twice in a row, so that one just woken by another
// is seen too; false when that does not come within a while.
bool waitUntilQuiet() {
    const auto until = std::chrono::steady_clock::now() + kRestless;
    int quietLooks = 0;
    while (quietLooks < 2) {
        if (everyOtherThreadSleeps()) {
            ++quietLooks;
        } else {
            quietLooks = 0;
            if (std::chrono::steady_clock::now() > until) {
                return false;
            }
        }
        ::sched_yield();
    }
    return true;
}

}  // namespace

DriveTime::~DriveTime() {
    stopRunning();
}

std::int64_t DriveTime::nowMs() const {
    return drive().nowUs() / 1000;
}

int DriveTime::listen(std::function<void()> moved) {
    std::lock_guard lock(m_mutex);
    const int id = m_nextId++;
    m_listeners[id] = std::move(moved);
    return id;
}

void DriveTime::unlisten(int id) {
    std::lock_guard lock(m_mutex);
    m_listeners.erase(id);
}

void DriveTime::step() {
    if (!waitUntilQuiet()) {
        ++m_restless;
    }
    const std::int64_t now = drive().nowUs();
    std::int64_t by = kStepUs - now % kStepUs;
    if (const auto busy = drive().busyUntilUs()) {
        by = std::min(by, *busy - now);
    }
    drive().advanceTime(std::chrono::microseconds(by));
    std::lock_guard lock(m_mutex);
    for (auto& [id, moved] : m_listeners) {
        moved();
    }
}

void DriveTime::run(std::int64_t ms) {
    const std::int64_t until = drive().nowUs() + ms * 1000;
    while (drive().nowUs() < until) {
        step();
    }
}

bool DriveTime::runUntil(const std::function<bool()>& done, std::int64_t limitMs) {
    const std::int64_t until = drive().nowUs() + limitMs * 1000;
    while (!done()) {
        if (drive().nowUs() >= until) {
            return false;
        }
        step();
    }
    return true;
}

void DriveTime::runInBackground() {
    stopRunning();
    m_running = true;
    m_background = std::thread([this] {
        while (m_running.load()) {
            step();
        }
    });
}

void DriveTime::stopRunning() {
    m_running = false;
    if (m_background.joinable()) {
        m_background.join();
    }
}

}  // namespace sonarch::testing
