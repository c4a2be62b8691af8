#include "desktop/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace sonarch {

SingleInstance::SingleInstance(std::string lockFilePath)
    : m_path(std::move(lockFilePath)),
      m_lock(std::make_unique<QLockFile>(QFile::decodeName(m_path.c_str()))) {
    // The lock is held for hours, so its age says nothing: only an owner that is no longer
    // running (or a reboot since) makes it stale.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

InstanceLock SingleInstance::tryLock() {
    m_error.clear();
    if (m_lock->isLocked() || m_lock->tryLock(0)) {
        return InstanceLock::Acquired;
    }
    switch (m_lock->error()) {
        case QLockFile::LockFailedError:
            return InstanceLock::HeldByAnother;
        case QLockFile::PermissionError:
            m_error = "No permission to create " + m_path;
            return InstanceLock::Unavailable;
        default:
            m_error = "Could not create " + m_path;
            return InstanceLock::Unavailable;
    }
}

void SingleInstance::unlock() {
    m_lock->unlock();
}

std::string SingleInstance::socketPath() const {
    // Beside the lock, so it is as private as the lock's folder.
    const std::string suffix = ".lock";
    const bool named = m_path.size() > suffix.size() &&
                       m_path.compare(m_path.size() - suffix.size(), suffix.size(), suffix) == 0;
    return (named ? m_path.substr(0, m_path.size() - suffix.size()) : m_path) + ".socket";
}

namespace {

// The folder when it is the user's own, not a link, and closed to everyone else.
std::optional<std::string> privateFolderProblem(const std::string& folder, unsigned user) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0) {
        return folder + ": " + std::generic_category().message(errno);
    }
    if (!S_ISDIR(info.st_mode)) {
        return folder + " is not a folder";
    }
    if (info.st_uid != user) {
        return folder + " belongs to another user";
    }
    if ((info.st_mode & 0777) != 0700) {
        return folder + " is open to other users";
    }
    return std::nullopt;
}

// "qvplayer" under a folder of the user's, made (or closed) to mode 0700 when needed.
Result<std::string> ownFolderUnder(const std::string& parent, unsigned user) {
    const std::string folder = parent + "/qvplayer";
    std::error_code error;
    std::filesystem::create_directories(parent, error);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        return Result<std::string>::failure("cannot make " + folder + ": " +
                                            std::generic_category().message(errno));
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == user &&
        (info.st_mode & 0777) != 0700) {
        ::chmod(folder.c_str(), 0700);  // ours, but open to others: closed, not left
    }
    if (const auto problem = privateFolderProblem(folder, user)) {
        return Result<std::string>::failure(*problem);
    }
    return Result<std::string>::success(folder);
}

bool absolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

}  // namespace

PrivatePlaces PrivatePlacesFromEnvironment() {
    PrivatePlaces places;
    places.runtimeDir = qgetenv("XDG_RUNTIME_DIR").toStdString();
    places.cacheHome = qgetenv("XDG_CACHE_HOME").toStdString();
    places.home = QFile::encodeName(QDir::homePath()).toStdString();
    places.user = ::geteuid();
    return places;
}

Result<std::string> PrivateFolder(const PrivatePlaces& places) {
    std::vector<std::string> problems;
    if (absolute(places.runtimeDir)) {
        const auto problem = privateFolderProblem(places.runtimeDir, places.user);
        if (!problem) {
            return Result<std::string>::success(places.runtimeDir);
        }
        problems.push_back(*problem);
    }
    // Only an absolute $XDG_CACHE_HOME counts; a relative or empty one means ~/.cache.
    std::vector<std::string> parents;
    if (absolute(places.cacheHome)) {
        parents.push_back(places.cacheHome);
    }
    if (absolute(places.home)) {
        parents.push_back(places.home + "/.cache");
    }
    for (const std::string& parent : parents) {
        const Result<std::string> folder = ownFolderUnder(parent, places.user);
        if (folder.ok()) {
            return folder;
        }
        problems.push_back(folder.error());
    }
    std::string why = "no folder of this user's that only this user may enter";
    for (const std::string& problem : problems) {
        why += "; " + problem;
    }
    return Result<std::string>::failure(why);
}

Result<std::string> DefaultInstanceLockPath(const std::string& programName) {
    const Result<std::string> folder = PrivateFolder(PrivatePlacesFromEnvironment());
    if (!folder.ok()) {
        return folder;
    }
    return Result<std::string>::success(folder.value() + "/" + programName + ".lock");
}

}  // namespace sonarch
