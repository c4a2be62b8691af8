#pragma once

#include <memory>
#include <string>

#include "base/result.h"

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

// Where a folder only the user may enter can be: $XDG_RUNTIME_DIR, $XDG_CACHE_HOME, $HOME.
struct PrivatePlaces {
    std::string runtimeDir;  // empty when unset
    std::string cacheHome;   // empty when unset
    std::string home;
    unsigned user = 0;  // whose folder it must be
};
PrivatePlaces PrivatePlacesFromEnvironment();

// A folder of the user's, of mode 0700, for the instance lock and the hand-over socket, so
// that no other account can block the player or read what later starts hand over: the
// session's runtime folder when it is such a folder; else "qvplayer" in the user's cache
// folder (~/.cache), made or set to 0700 when needed. A folder of another account, a link or
// one open to others is never used. On failure, why in plain words.
Result<std::string> PrivateFolder(const PrivatePlaces& places);

// "<private folder>/<programName>.lock".
Result<std::string> DefaultInstanceLockPath(const std::string& programName = "qvplayer");

}  // namespace sonarch
