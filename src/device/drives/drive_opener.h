#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "base/result.h"
#include "device/drives/drive.h"

namespace sonarch {

/*
 * Opens drives on a thread of its own, so that the caller (the window's thread) never waits
 * on a slow drive or a hostile image. One open runs at a time; a new request replaces one
 * that has not started, and the result of a request replaced while it was being opened is
 * dropped. The caller learns of a finished open through `finished` (called on the opener's
 * thread) and takes the result on its own thread.
 */
class DriveOpener {
public:
    using Open = std::function<Result<std::unique_ptr<Drive>>(const std::string& name)>;

    struct Opened {
        std::string name;
        Result<std::unique_ptr<Drive>> drive;
    };

    // `open` runs on the opener's thread; `finished` there too, after each open whose
    // result waits in take().
    explicit DriveOpener(Open open, std::function<void()> finished = nullptr);
    // Waits for an open in progress to end (images are read within bounded time); its
    // result is dropped.
    ~DriveOpener();
    DriveOpener(const DriveOpener&) = delete;
    DriveOpener& operator=(const DriveOpener&) = delete;

    // Asks for `name` to be opened, in place of any request not yet taken. Never waits.
    void request(const std::string& name);
    // Forgets any request not yet taken.
    void cancel();
    // The newest request's result, once it is there, and only once.
    std::optional<Opened> take();
    // A request is waiting to be opened or being opened.
    bool pending() const;

private:
    void run();  // the opener's thread

    Open m_open;
    std::function<void()> m_finished;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::uint64_t m_newest = 0;   // numbers the requests
    std::uint64_t m_opening = 0;  // the request being opened, 0 for none
    std::optional<std::pair<std::uint64_t, std::string>> m_waiting;
    std::optional<Opened> m_result;
    bool m_stopping = false;
    std::thread m_thread;  // last: started once everything it uses is there
};

}  // namespace sonarch
