#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
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

// The real file operations, done for the given user: whose links are followed.
class UserFileOps : public PosixFileOps {
public:
    explicit UserFileOps(unsigned user) : m_user(user) {}
    unsigned userId() const override { return m_user; }

private:
    unsigned m_user;
};

// Accounts of nobody on the machine, for files root hands over.
constexpr unsigned kUser = 4242;
constexpr unsigned kOtherUser = 4343;

// Gives a file or link (not what it points at) to `user`. Only root can; anyone else is
// already the only user their files can have.
void giveTo(const std::string& path, unsigned user) {
    ASSERT_EQ(::lchown(path.c_str(), user, user), 0) << path;
}

// The user the player runs for in these tests: a made-up account when root runs them (root
// itself follows no link), else the one running them.
unsigned testUser() {
    return ::geteuid() == 0 ? kUser : ::geteuid();
}

// A folder with "player.dat" a link to "real/settings.dat", all the test user's.
struct LinkedSettings {
    LinkedSettings() {
        EXPECT_TRUE(QDir().mkpath(QString::fromStdString(folder.file("real"))));
        EXPECT_EQ(::symlink("real/settings.dat", link.c_str()), 0);
        if (::geteuid() == 0) {
            giveTo(link, kUser);
        }
    }
    void makeTarget() {
        writeBytes(target, kPreviousFile);
        if (::geteuid() == 0) {
            giveTo(target, kUser);
        }
    }
    TempFolder folder;
    std::string link = folder.file("player.dat");
    std::string target = folder.file("real/settings.dat");
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
        if (::geteuid() == 0) {
            giveTo(pipe, kUser);
            giveTo(folder.file("player.dat"), kUser);
        }
        UserFileOps files(testUser());
        const Result<std::string> saved = SaveSettings(folder.path(), newSettings(), {1, 1}, files);
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

TEST(SaveSettings, ALinkOfTheUserToTheUsersOwnFileIsWrittenThroughAndKept) {
    LinkedSettings linked;
    linked.makeTarget();
    UserFileOps files(testUser());

    const LoadedSettings loaded = LoadSettings(linked.folder.path(), {100, 100}, files);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(loaded.settings.databasePath, "/srv/music/library.dbd") << "read through the link";
    const Result<std::string> saved =
        SaveSettings(linked.folder.path(), newSettings(), {100, 100}, files);
    ASSERT_TRUE(saved.ok()) << saved.error();
    EXPECT_EQ(saved.value(),
              QFileInfo(QString::fromStdString(linked.target)).canonicalFilePath().toStdString());
    EXPECT_TRUE(QFileInfo(QString::fromStdString(linked.link)).isSymLink());
    EXPECT_EQ(readBytes(linked.target), FormatSettings(newSettings(), {100, 100}));
    EXPECT_EQ(folderEntries(linked.folder.file("real")), QStringList{"settings.dat"});
}

// What must hold whenever a link is refused: nothing read from or written where it points,
// no file made there, the link itself in place, and the reason told at start and at the save.
void expectRefused(const std::string& folder, const std::string& link, const std::string& target,
                   const std::optional<std::string>& targetBytes, FileOps& files,
                   const std::string& why) {
    const LoadedSettings loaded = LoadSettings(folder, {100, 100}, files);
    EXPECT_EQ(loaded.settings.databasePath, kNoDatabase) << why << ": nothing read through it";
    EXPECT_FALSE(loaded.createdDefaultFile) << why;
    EXPECT_NE(loaded.error.find("link"), std::string::npos) << why << ": " << loaded.error;
    EXPECT_NE(loaded.error.find("kept in memory"), std::string::npos) << loaded.error;

    const Result<std::string> saved = SaveSettings(folder, newSettings(), {100, 100}, files);
    ASSERT_FALSE(saved.ok()) << why;
    EXPECT_NE(saved.error().find("not saved"), std::string::npos) << saved.error();
    EXPECT_NE(saved.error().find("link"), std::string::npos) << why << ": " << saved.error();
    if (targetBytes) {
        EXPECT_EQ(readBytes(target), *targetBytes) << why;
    } else {
        EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(target))) << why;
    }
    EXPECT_TRUE(QFileInfo(QString::fromStdString(link)).isSymLink()) << why;
}

TEST(SaveSettings, ADanglingLinkMakesNoFileWhereItPoints) {
    LinkedSettings linked;
    UserFileOps files(testUser());
    expectRefused(linked.folder.path(), linked.link, linked.target, std::nullopt, files,
                  "a dangling link");
    EXPECT_EQ(folderEntries(linked.folder.path()), (QStringList{"player.dat", "real"}));
    EXPECT_EQ(folderEntries(linked.folder.file("real")), QStringList{});
}

TEST(SaveSettings, RootFollowsNoLinkNotEvenToItsOwnFile) {
    // A copy of a system file that is longer than the settings: a link made to it must not
    // cut it down to 15 lines.
    TempFolder folder;
    const std::string target = folder.file("passwd");
    std::string accounts;
    for (int i = 0; i < 27; ++i) {
        accounts += "user" + std::to_string(i) + ":x:" + std::to_string(1000 + i) + ":100::/:\n";
    }
    writeBytes(target, accounts);
    ASSERT_EQ(::symlink(target.c_str(), folder.file("player.dat").c_str()), 0);
    // As root the real file operations; anyone else plays root.
    PosixFileOps real;
    UserFileOps playedRoot(0);
    FileOps& files = ::geteuid() == 0 ? static_cast<FileOps&>(real) : playedRoot;
    expectRefused(folder.path(), folder.file("player.dat"), target, accounts, files,
                  "a link followed by root");
}

TEST(SaveSettings, ALinkMadeByOrLeadingToAnotherUserIsRefused) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root can make files of two users";
    }
    UserFileOps files(kUser);
    {
        LinkedSettings linked;  // the user's link...
        linked.makeTarget();
        giveTo(linked.target, kOtherUser);  // ...to another user's file
        expectRefused(linked.folder.path(), linked.link, linked.target, kPreviousFile, files,
                      "a link to another user's file");
    }
    {
        LinkedSettings linked;  // another user's link to the user's own file
        linked.makeTarget();
        giveTo(linked.link, kOtherUser);
        expectRefused(linked.folder.path(), linked.link, linked.target, kPreviousFile, files,
                      "a link planted by another user");
    }
}

}  // namespace
}  // namespace sonarch
