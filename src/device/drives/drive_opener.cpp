#include "device/drives/drive_opener.h"

namespace sonarch {

DriveOpener::DriveOpener(Open open, std::function<void()> finished)
    : m_open(std::move(open)), m_finished(std::move(finished)), m_thread([this] { run(); }) {}

DriveOpener::~DriveOpener() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_waiting.reset();
    }
    m_wake.notify_all();
    m_thread.join();
}

void DriveOpener::request(const std::string& name) {
    std::optional<Opened> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_waiting.emplace(++m_newest, name);
        dropped.swap(m_result);
    }
    m_wake.notify_all();
}

void DriveOpener::cancel() {
    std::optional<Opened> dropped;
    std::lock_guard lock(m_mutex);
    ++m_newest;
    m_waiting.reset();
    dropped.swap(m_result);
}

std::optional<DriveOpener::Opened> DriveOpener::take() {
    std::lock_guard lock(m_mutex);
    std::optional<Opened> result;
    result.swap(m_result);
    return result;
}

bool DriveOpener::pending() const {
    std::lock_guard lock(m_mutex);
    return m_waiting.has_value() || (m_opening != 0 && m_opening == m_newest);
}

void DriveOpener::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_waiting; });
        if (m_stopping) {
            return;
        }
        const auto [number, name] = *m_waiting;
        m_waiting.reset();
        m_opening = number;
        lock.unlock();
        Opened opened{name, m_open(name)};
        lock.lock();
        m_opening = 0;
        if (number != m_newest || m_stopping) {
            // Replaced or forgotten meanwhile: the drive closes here, off the caller's thread.
            lock.unlock();
            opened.drive = Result<std::unique_ptr<Drive>>::failure("");
            lock.lock();
            continue;
        }
        m_result.emplace(std::move(opened));
        if (m_finished) {
            lock.unlock();
            m_finished();
            lock.lock();
        }
    }
}

}  // namespace sonarch
