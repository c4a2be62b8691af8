// Runs the real qvplayer program as separate processes on the offscreen platform.
#include <gtest/gtest.h>

#include "support/settings_lines.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

// A private runtime folder, as the session gives one: only its owner may enter it, or Qt
// would not use it and the players of tests running side by side would share one lock.
bool makeRuntimeFolder(const QTemporaryDir& home) {
    return QDir(home.path()).mkpath("runtime") &&
           QFile::setPermissions(home.filePath("runtime"),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

class PlayerProcess {
public:
    PlayerProcess(const QTemporaryDir& home, QStringList arguments,
                  const QString& workingFolder = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("XDG_RUNTIME_DIR", home.filePath("runtime"));
        m_process.setProcessEnvironment(env);
        if (!workingFolder.isEmpty()) {
            m_process.setWorkingDirectory(workingFolder);
        }
        m_process.start(QVPLAYER, arguments);
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

TEST(PlayerProgram, ASecondStartEndsAtOnceAndTheFirstSavesOnTerminate) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(makeRuntimeFolder(home));
    ASSERT_TRUE(QDir(home.path()).mkpath("settings"));
    const QString settings = home.filePath("settings");
    const QString library = home.filePath("music.dbd");

    PlayerProcess first(home, {"--drive", "demo", "--audio", "null", "--settings-dir", settings,
                               "--library", library});
    ASSERT_TRUE(first.process().waitForStarted(10000));
    // The first run writes the default settings file once it holds the lock.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(settings + "/player.dat"); }, 20000));
    EXPECT_EQ(sonarch::testing::SettingsFileLines(settings + "/player.dat").value(0),
              "None selected");

    PlayerProcess second(home, {"--drive", "demo", "--audio", "null", "--settings-dir", settings});
    ASSERT_TRUE(second.process().waitForFinished(20000));
    EXPECT_EQ(second.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.process().exitCode(), 0);
    EXPECT_EQ(first.process().state(), QProcess::Running) << "the first player is unaffected";

    first.process().terminate();  // SIGTERM, as when the desktop logs out
    ASSERT_TRUE(first.process().waitForFinished(20000));
    EXPECT_EQ(first.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.process().exitCode(), 0);
    const QStringList saved = sonarch::testing::SettingsFileLines(settings + "/player.dat");
    ASSERT_EQ(saved.size(), 15);
    EXPECT_EQ(saved[0], library) << "shut-down saved the settings of the run";
}

TEST(PlayerProgram, ScreenshotRendersTheWindowAndClosesNormally) {
    QTemporaryDir home;
    ASSERT_TRUE(makeRuntimeFolder(home));
    const QString shot = home.filePath("window.png");
    PlayerProcess player(home, {"--drive", "demo", "--audio", "null", "--settings-dir", home.path(),
                                "--screenshot", shot});
    ASSERT_TRUE(player.process().waitForFinished(30000));
    EXPECT_EQ(player.process().exitCode(), 0);
    QImage image(shot);
    EXPECT_EQ(image.width(), 325);
    EXPECT_EQ(image.height(), 117);
    EXPECT_EQ(sonarch::testing::SettingsFileLines(home.filePath("player.dat")).size(), 15);
}

TEST(PlayerProgram, ALibraryNamedRelativelyIsKeptByItsFullPath) {
    QTemporaryDir home;
    ASSERT_TRUE(makeRuntimeFolder(home));
    ASSERT_TRUE(QDir(home.path()).mkpath("music"));
    PlayerProcess player(home,
                         {"--drive", "demo", "--audio", "null", "--settings-dir", home.path(),
                          "--library", "./music/cds.dbd", "--screenshot", "window.png"},
                         home.path());
    ASSERT_TRUE(player.process().waitForFinished(30000));
    EXPECT_EQ(player.process().exitCode(), 0);
    // The next start from another folder must find the same library.
    EXPECT_EQ(
        sonarch::testing::SettingsFileLines(home.filePath("player.dat")).value(0).toStdString(),
        home.filePath("music/cds.dbd").toStdString());
}

TEST(PlayerProgram, BadOptionsAreRefusedWithUsage) {
    QTemporaryDir home;
    ASSERT_TRUE(makeRuntimeFolder(home));
    for (const QStringList& arguments :
         {QStringList{"--frobnicate"}, QStringList{"--drive"}, QStringList{"--audio", "loud"},
          QStringList{"--drive", "virtual:12"}}) {
        PlayerProcess player(home, arguments);
        ASSERT_TRUE(player.process().waitForFinished(20000));
        EXPECT_NE(player.process().exitCode(), 0) << arguments.join(' ').toStdString();
        EXPECT_FALSE(player.process().readAllStandardError().isEmpty());
    }
}

TEST(PlayerProgram, WithoutADisplayItExplainsInsteadOfAborting) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) {
        env.remove(name);
    }
    auto run = [&env](const QStringList& arguments) {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(env);
        process->start(QVPLAYER, arguments);
        EXPECT_TRUE(process->waitForFinished(20000));
        return process;
    };
    const auto version = run({"--version"});
    EXPECT_EQ(version->exitCode(), 0);
    EXPECT_TRUE(version->readAllStandardOutput().startsWith("qvplayer "));
    const auto help = run({"--help"});
    EXPECT_EQ(help->exitCode(), 0);
    EXPECT_TRUE(help->readAllStandardOutput().contains("--drive"));
    const auto player = run({"--drive", "demo"});
    EXPECT_EQ(player->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player->exitCode(), 1);
    EXPECT_TRUE(player->readAllStandardError().contains("no graphical display"));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
