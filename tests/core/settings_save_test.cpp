#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>

#include <QDir>
#include <QFileInfo>

#include "core/settings_file.h"
#include "support/file_helpers.h"

namespace sonarch {
namespace {

using testing::folderEntries;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

// The file of an earlier run, which a failed save must leave exactly as it is.
const char* const kPreviousFile =
    "/srv/music/library.dbd\r\nTrue\r\nTrue\r\nFalse\r\nFalse\r\nTrue\r\nFalse\r\nFalse\r\n"
    " 640.5 \r\n 480 \r\n 15 \r\n 20000 \r\nTrue\r\nTrue\r\nFalse\r\n";

Settings newSettings() {
    Settings s;
    s.databasePath = "/srv/music/other.dbd";
    s.volumeLevel = 65000;
    s.seekStep = 5;
    return s;
}

enum class Step { Create, Mode, Write, Sync, Close, Rename };

// The real file operations with one step failing as a full disk or a failing device makes it
// fail. A failing write has written part of the file first, a failing close has closed.
class FailingFileOps : public PosixFileOps {
public:
    FailingFileOps(Step step, int error) : m_step(step), m_error(error) {}

    int createTemporary(std::string& pathTemplate, int& fd) override {
        return m_step == Step::Create ? m_error : PosixFileOps::createTemporary(pathTemplate, fd);
    }
    int setMode(int fd, unsigned mode) override {
        return m_step == Step::Mode ? m_error : PosixFileOps::setMode(fd, mode);
    }
    int writeAll(int fd, std::string_view bytes) override {
        if (m_step != Step::Write) {
            return PosixFileOps::writeAll(fd, bytes);
        }
        PosixFileOps::writeAll(fd, bytes.substr(0, bytes.size() / 2));
        return m_error;
    }
    int sync(int fd) override { return m_step == Step::Sync ? m_error : PosixFileOps::sync(fd); }
    int close(int fd) override {
        const int result = PosixFileOps::close(fd);
        return m_step == Step::Close ? m_error : result;
    }
    int rename(const std::string& from, const std::string& to) override {
        return m_step == Step::Rename ? m_error : PosixFileOps::rename(from, to);
    }

private:
    Step m_step;
    int m_error;
};

// Dies half-way through writing, as a killed or crashed player would.
class CrashingFileOps : public PosixFileOps {
public:
    int writeAll(int fd, std::string_view bytes) override {
        PosixFileOps::writeAll(fd, bytes.substr(0, bytes.size() / 2));
        std::_Exit(9);
    }
};

TEST(SaveSettings, AFailingStepKeepsThePreviousFileByteForByte) {
    struct Case {
        Step step;
        int error;
        const char* words;  // what the message says failed
    };
    const Case cases[] = {
        {Step::Create, EACCES, "Could not create a temporary file beside "},
        {Step::Mode, EPERM, "Could not set the permissions of "},
        {Step::Write, ENOSPC, "Could not write "},
        {Step::Write, EDQUOT, "Could not write "},
        {Step::Sync, EIO, "Could not flush "},
        {Step::Close, EIO, "Could not close "},
        {Step::Rename, EXDEV, "Could not replace "},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        writeBytes(folder.file("player.dat"), kPreviousFile);
        FailingFileOps files(c.step, c.error);

        const Result<std::string> saved =
            SaveSettings(folder.path(), newSettings(), {100, 100}, files);

        ASSERT_FALSE(saved.ok()) << c.words;
        EXPECT_EQ(saved.error().rfind(c.words, 0), 0u) << saved.error();
        const std::string reason = std::generic_category().message(c.error);
        EXPECT_NE(saved.error().find(reason), std::string::npos) << saved.error();
        EXPECT_EQ(readBytes(folder.file("player.dat")), kPreviousFile) << c.words;
        EXPECT_EQ(folderEntries(folder.path()), QStringList{"player.dat"}) << c.words;
    }
}

TEST(SaveSettings, AFailedFirstWriteLeavesNoFileBehind) {
    TempFolder folder;
    FailingFileOps files(Step::Write, ENOSPC);
    const LoadedSettings loaded = LoadSettings(folder.path(), {0, 0}, files);
    EXPECT_FALSE(loaded.createdDefaultFile);
    EXPECT_NE(loaded.error.find("No space left on device"), std::string::npos) << loaded.error;
    EXPECT_EQ(loaded.settings, Settings{});
    EXPECT_TRUE(folderEntries(folder.path()).isEmpty());
}

TEST(SaveSettings, ACrashWhileWritingKeepsThePreviousFileAndTheNextSaveTidiesUp) {
    TempFolder folder;
    writeBytes(folder.file("player.dat"), kPreviousFile);

    EXPECT_EXIT(
        {
            CrashingFileOps files;
            SaveSettings(folder.path(), newSettings(), {100, 100}, files);
        },
        ::testing::ExitedWithCode(9), "");

    EXPECT_EQ(readBytes(folder.file("player.dat")), kPreviousFile);
    const QStringList afterCrash = folderEntries(folder.path());
    ASSERT_EQ(afterCrash.size(), 2) << afterCrash.join(' ').toStdString();
    EXPECT_TRUE(afterCrash[1].startsWith("player.dat.tmp-")) << afterCrash[1].toStdString();

    const LoadedSettings loaded = LoadSettings(folder.path(), {0, 0});
    EXPECT_TRUE(loaded.replacedLines.empty());
    EXPECT_EQ(loaded.settings.databasePath, "/srv/music/library.dbd");
    EXPECT_EQ(loaded.settings.windowLeft, 640);

    ASSERT_TRUE(SaveSettings(folder.path(), newSettings(), {100, 100}).ok());
    EXPECT_EQ(folderEntries(folder.path()), QStringList{"player.dat"});
    EXPECT_EQ(LoadSettings(folder.path(), {0, 0}).settings.databasePath, "/srv/music/other.dbd");
}

TEST(SaveSettings, ReportsAFolderThatDoesNotExist) {
    TempFolder folder;
    const Result<std::string> saved =
        SaveSettings(folder.file("missing"), newSettings(), {100, 100});
    ASSERT_FALSE(saved.ok());
    EXPECT_NE(saved.error().find("No such file or directory"), std::string::npos) << saved.error();
}

TEST(SaveSettings, KeepsThePermissionsOfTheFileItReplaces) {
    TempFolder folder;
    const std::string path = folder.file("player.dat");
    ASSERT_TRUE(SaveSettings(folder.path(), newSettings(), {100, 100}).ok());
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0644u);

    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(SaveSettings(folder.path(), newSettings(), {200, 100}).ok());
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST(SaveSettings, WritesThroughASymbolicLinkAndKeepsTheLink) {
    TempFolder folder;
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder.file("real"))));
    const std::string target = folder.file("real/settings.dat");
    writeBytes(target, kPreviousFile);
    ASSERT_EQ(::symlink(target.c_str(), folder.file("player.dat").c_str()), 0);

    const Result<std::string> saved = SaveSettings(folder.path(), newSettings(), {100, 100});
    ASSERT_TRUE(saved.ok()) << saved.error();
    EXPECT_EQ(saved.value(),
              QFileInfo(QString::fromStdString(target)).canonicalFilePath().toStdString());
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder.file("player.dat"))).isSymLink());
    EXPECT_EQ(readBytes(target), FormatSettings(newSettings(), {100, 100}));
    EXPECT_EQ(folderEntries(folder.file("real")), QStringList{"settings.dat"});
}

TEST(SaveSettings, NeverReplacesWhatIsNotARegularFile) {
    // A pipe stands in for a device node: both must survive a save untouched, whether
    // "player.dat" is the pipe itself or a symbolic link to it.
    struct Case {
        const char* name;
        bool throughLink;
    };
    for (const Case c : {Case{"the pipe itself", false}, Case{"a link to the pipe", true}}) {
        TempFolder folder;
        const std::string pipe = folder.file(c.throughLink ? "fifo" : "player.dat");
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        if (c.throughLink) {
            ASSERT_EQ(::symlink(pipe.c_str(), folder.file("player.dat").c_str()), 0);
        }
        const Result<std::string> saved = SaveSettings(folder.path(), newSettings(), {1, 1});
        ASSERT_FALSE(saved.ok()) << c.name;
        EXPECT_NE(saved.error().find("not a regular file"), std::string::npos) << saved.error();
        struct stat info {};
        ASSERT_EQ(::lstat(pipe.c_str(), &info), 0) << c.name;
        EXPECT_TRUE(S_ISFIFO(info.st_mode)) << c.name;
        const QStringList expected =
            c.throughLink ? QStringList{"fifo", "player.dat"} : QStringList{"player.dat"};
        EXPECT_EQ(folderEntries(folder.path()), expected) << c.name << ": no temporary file left";
    }
}

TEST(SaveSettings, ALinkToAFileNotYetMadeMakesTheFileAndKeepsTheLink) {
    TempFolder folder;
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder.file("real"))));
    ASSERT_EQ(::symlink("real/settings.dat", folder.file("player.dat").c_str()), 0);

    const LoadedSettings loaded = LoadSettings(folder.path(), {100, 100});
    EXPECT_TRUE(loaded.createdDefaultFile) << loaded.error;
    ASSERT_TRUE(SaveSettings(folder.path(), newSettings(), {100, 100}).ok());
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder.file("player.dat"))).isSymLink());
    EXPECT_EQ(readBytes(folder.file("real/settings.dat")),
              FormatSettings(newSettings(), {100, 100}));
}

}  // namespace
}  // namespace sonarch
