#include "desktop/single_instance.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

#include "support/file_helpers.h"

namespace sonarch {
namespace {

using testing::TempFolder;

// Generous bounds that only stop a broken run from hanging; a healthy probe answers at once.
constexpr int kProbeTimeoutMs = 60000;

struct ProbeAnswer {
    int exitCode = -1;
    std::string output;
};

// Runs a second process that tries to take the lock and reports what happened.
ProbeAnswer probeLock(const std::string& lockFile) {
    QProcess probe;
    probe.start(INSTANCE_PROBE, {"try", QString::fromStdString(lockFile)});
    if (!probe.waitForFinished(kProbeTimeoutMs) || probe.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {probe.exitCode(), probe.readAllStandardOutput().trimmed().toStdString()};
}

bool exists(const std::string& path) {
    return QFile::exists(QString::fromStdString(path));
}

TEST(SingleInstance, ASecondProcessIsRefusedWhileTheLockIsHeldAndAdmittedAfter) {
    TempFolder folder;
    const std::string lockFile = folder.file("qvplayer.lock");
    SingleInstance first(lockFile);
    ASSERT_EQ(first.tryLock(), InstanceLock::Acquired);

    const ProbeAnswer whileHeld = probeLock(lockFile);
    EXPECT_EQ(whileHeld.output, "busy");
    EXPECT_EQ(whileHeld.exitCode, 1);
    EXPECT_TRUE(exists(lockFile));  // the refused process did not remove our lock

    first.unlock();
    EXPECT_FALSE(exists(lockFile));
    const ProbeAnswer afterRelease = probeLock(lockFile);
    EXPECT_EQ(afterRelease.output, "acquired");
    EXPECT_EQ(afterRelease.exitCode, 0);

    EXPECT_EQ(first.tryLock(), InstanceLock::Acquired);
}

TEST(SingleInstance, TheLockOfAKilledProcessDoesNotBlockTheNextStart) {
    TempFolder folder;
    const std::string lockFile = folder.file("qvplayer.lock");

    QProcess holder;
    holder.start(INSTANCE_PROBE, {"hold", QString::fromStdString(lockFile)});
    ASSERT_TRUE(holder.waitForStarted(kProbeTimeoutMs));
    QByteArray said;
    while (!said.contains('\n') && holder.waitForReadyRead(kProbeTimeoutMs)) {
        said += holder.readAllStandardOutput();
    }
    ASSERT_EQ(said.trimmed().toStdString(), "acquired");

    SingleInstance next(lockFile);
    EXPECT_EQ(next.tryLock(), InstanceLock::HeldByAnother);

    holder.kill();  // no chance to remove its lock file
    ASSERT_TRUE(holder.waitForFinished(kProbeTimeoutMs));
    ASSERT_TRUE(exists(lockFile));

    EXPECT_EQ(next.tryLock(), InstanceLock::Acquired);
    const ProbeAnswer another = probeLock(lockFile);
    EXPECT_EQ(another.output, "busy");
}

TEST(SingleInstance, ALockThatCannotBeMadeIsNotTakenForAnotherInstance) {
    TempFolder folder;
    SingleInstance instance(folder.file("missing/qvplayer.lock"));
    EXPECT_EQ(instance.tryLock(), InstanceLock::Unavailable);
    EXPECT_NE(instance.error(), "");
}

TEST(DefaultInstanceLockPath, LivesInTheUsersRuntimeFolder) {
    TempFolder runtime;  // made private to the user, as a runtime folder must be
    const QByteArray before = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime.path()));
    const Result<std::string> player = DefaultInstanceLockPath();
    const Result<std::string> other = DefaultInstanceLockPath("otherplayer");
    if (before.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", before);
    }
    EXPECT_EQ(player.value(), runtime.file("qvplayer.lock"));
    EXPECT_EQ(other.value(), runtime.file("otherplayer.lock"));
}

unsigned modeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The places a user's lock and socket may go, all in a test folder: a runtime folder, a
// cache folder and a home.
struct Places {
    Places() {
        for (const char* folder : {"runtime", "home"}) {
            EXPECT_TRUE(QDir().mkpath(QString::fromStdString(root.file(folder))));
        }
        ::chmod(root.file("runtime").c_str(), 0700);
        places.runtimeDir = root.file("runtime");
        places.cacheHome = root.file("cache");
        places.home = root.file("home");
        places.user = ::geteuid();
    }
    TempFolder root;
    PrivatePlaces places;
};

TEST(PrivateFolder, IsTheRuntimeFolderOnlyWhenItIsTheUsersAndClosedToOthers) {
    {
        Places p;
        EXPECT_EQ(PrivateFolder(p.places).value(), p.root.file("runtime"));
    }
    {
        // Open to others (or a /tmp/runtime-<user> made by someone else): another account
        // could block the player or read what later starts hand over.
        Places p;
        ::chmod(p.root.file("runtime").c_str(), 0755);
        const Result<std::string> folder = PrivateFolder(p.places);
        EXPECT_EQ(folder.value(), p.root.file("cache/qvplayer"));
        EXPECT_EQ(modeOf(folder.value()), 0700u);
        EXPECT_EQ(modeOf(p.root.file("runtime")), 0755u) << "a folder not ours is not changed";
    }
    {
        Places p;
        p.places.user = ::geteuid() + 1;  // the folders are another user's to this one
        const Result<std::string> folder = PrivateFolder(p.places);
        ASSERT_FALSE(folder.ok());
        EXPECT_NE(folder.error().find("belongs to another user"), std::string::npos)
            << folder.error();
    }
    {
        // The variable unset or not absolute: the cache, else the home's .cache.
        Places p;
        p.places.runtimeDir = "";
        p.places.cacheHome = "relative/cache";
        const Result<std::string> folder = PrivateFolder(p.places);
        EXPECT_EQ(folder.value(), p.root.file("home/.cache/qvplayer"));
        EXPECT_EQ(modeOf(folder.value()), 0700u);
    }
}

TEST(PrivateFolder, ClosesTheUsersOwnFolderButNeverUsesALink) {
    {
        Places p;
        p.places.runtimeDir = "";
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(p.root.file("cache/qvplayer"))));
        ::chmod(p.root.file("cache/qvplayer").c_str(), 0777);
        EXPECT_EQ(PrivateFolder(p.places).value(), p.root.file("cache/qvplayer"));
        EXPECT_EQ(modeOf(p.root.file("cache/qvplayer")), 0700u);
    }
    {
        // A link in the folder's place, to a folder open to all: not used, nor the home's
        // .cache when that is the same link.
        Places p;
        p.places.runtimeDir = "";
        p.places.cacheHome = p.root.file("home/.cache");
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(p.root.file("shared"))));
        ::chmod(p.root.file("shared").c_str(), 0777);
        ASSERT_TRUE(QDir().mkpath(QString::fromStdString(p.root.file("home/.cache"))));
        ASSERT_EQ(
            ::symlink(p.root.file("shared").c_str(), p.root.file("home/.cache/qvplayer").c_str()),
            0);
        const Result<std::string> folder = PrivateFolder(p.places);
        ASSERT_FALSE(folder.ok());
        EXPECT_NE(folder.error().find("is not a folder"), std::string::npos) << folder.error();
        EXPECT_EQ(modeOf(p.root.file("shared")), 0777u);
    }
}

}  // namespace
}  // namespace sonarch
