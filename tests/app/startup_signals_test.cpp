// Start-ups that go wrong, run as the real qvplayer program: a termination signal while
// start-up waits on a message, and a drive that cannot be opened.
#include <gtest/gtest.h>

#include "support/settings_lines.h"

#include <signal.h>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr int kWaitMs = 20000;

struct StartingPlayer {
    explicit StartingPlayer(const QStringList& arguments) {
        QDir(home.path()).mkpath("runtime");
        QFile::setPermissions(home.filePath("runtime"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        env.remove("DBUS_SESSION_BUS_ADDRESS");
        process.setProcessEnvironment(env);
        process.setWorkingDirectory(home.path());  // where a relative --screenshot goes
        process.start(QVPLAYER, QStringList{"--settings-dir", home.path()} + arguments);
        EXPECT_TRUE(process.waitForStarted(kWaitMs));
    }
    ~StartingPlayer() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(kWaitMs);
        }
    }
    QString settings() const { return home.filePath("player.dat"); }

    QTemporaryDir home;
    QProcess process;
};

TEST(PlayerStartUp, EachTerminationSignalDuringTheMixerMessageEndsTheNormalWay) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        QTemporaryDir files;
        const QString library = files.filePath("music.dbd");
        // A WAV file in a folder that does not exist: no audio output, so the mixer cannot
        // open and start-up waits for the OK of its message.
        StartingPlayer player({"--drive", "demo", "--library", library, "--audio",
                               "wav:" + files.filePath("missing/heard.wav")});
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(player.settings()); }, kWaitMs));
        QByteArray errors;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                errors += player.process.readAllStandardError();
                return errors.contains("heard.wav");
            },
            kWaitMs))
            << "the missing output was not reported";
        ::kill(pid_t(player.process.processId()), signal);
        ASSERT_TRUE(player.process.waitForFinished(kWaitMs)) << "signal " << signal;
        EXPECT_EQ(player.process.exitStatus(), QProcess::NormalExit) << "signal " << signal;
        EXPECT_EQ(player.process.exitCode(), 0) << "signal " << signal;
        const QStringList saved = sonarch::testing::SettingsFileLines(player.settings());
        ASSERT_EQ(saved.size(), 15) << "signal " << signal;
        EXPECT_EQ(saved[0], library) << "the settings of the run were saved, signal " << signal;
    }
}

TEST(PlayerStartUp, ADriveThatCannotBeOpenedStartsAnEmptyPlayerThatSaysWhy) {
    StartingPlayer player(
        {"--drive", "/nowhere/album.cue", "--audio", "null", "--screenshot", "shot.png"});
    ASSERT_TRUE(player.process.waitForFinished(kWaitMs));
    EXPECT_EQ(player.process.exitCode(), 0) << "it ran until the screenshot's three polls";
    EXPECT_TRUE(player.process.readAllStandardError().contains("/nowhere/album.cue"));
    EXPECT_EQ(sonarch::testing::SettingsFileLines(player.settings()).size(), 15);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
