#include "desktop/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QStandardPaths>

#include <unistd.h>

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

std::string DefaultInstanceLockPath(const std::string& programName) {
    const QString name = QString::fromStdString(programName);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (!folder.isEmpty() && QDir().mkpath(folder)) {
        return QFile::encodeName(folder + '/' + name + ".lock").toStdString();
    }
    // The temporary folder is shared by all users; the user id keeps one user's player from
    // blocking another's.
    return QFile::encodeName(QDir::tempPath() + '/' + name + '-' + QString::number(::getuid()) +
                             ".lock")
        .toStdString();
}

}  // namespace sonarch
