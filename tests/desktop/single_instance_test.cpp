#include "desktop/single_instance.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>

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
    const std::string player = DefaultInstanceLockPath();
    const std::string other = DefaultInstanceLockPath("otherplayer");
    if (before.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", before);
    }
    EXPECT_EQ(player, runtime.file("qvplayer.lock"));
    EXPECT_EQ(other, runtime.file("otherplayer.lock"));
}

}  // namespace
}  // namespace sonarch
