#pragma once

#include <memory>
#include <string>

class QLockFile;

namespace sonarch {

enum class InstanceLock {
    Acquired,       // this process is the one instance
    HeldByAnother,  // another instance of the player runs
    Unavailable,    // the lock file could not be made (no permission, disk full ...)
};

// One player per user: a lock file in the user's runtime folder, held for the life of the
// process. The operating system's process table decides whether a lock is still held, so a
// lock file left by a run that crashed or was killed does not block the next start.
class SingleInstance {
public:
    explicit SingleInstance(std::string lockFilePath);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock if it is free, without waiting.
    InstanceLock tryLock();
    void unlock();
    // Why the last tryLock gave Unavailable.
    const std::string& error() const { return m_error; }
    // Where the instance holding the lock takes drives handed over by later starts.
    std::string socketPath() const;

private:
    std::string m_path;
    std::string m_error;
    std::unique_ptr<QLockFile> m_lock;
};

// "<runtime folder>/<programName>.lock", the runtime folder being $XDG_RUNTIME_DIR; when
// the session has none, "<programName>-<user id>.lock" in the temporary folder.
std::string DefaultInstanceLockPath(const std::string& programName = "qvplayer");

}  // namespace sonarch
