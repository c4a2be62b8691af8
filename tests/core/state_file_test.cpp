// The player's own file beside player.dat: the drive it had last.
#include "core/state_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/file_helpers.h"

namespace sonarch {
namespace {

using testing::folderEntries;
using testing::readBytes;
using testing::TempFolder;
using testing::writeBytes;

TEST(StateFile, KeepsTheLastDriveByteForByteInAPrivateFileBesidePlayerDat) {
    TempFolder folder;
    writeBytes(folder.file("player.dat"), "settings of the last run\r\n");
    // A Latin-1 name is a valid Linux file name: it must come back as it went in.
    const std::string image = "/home/me/m\xe9lodie.cue";
    ASSERT_TRUE(SaveLastDrive(folder.path(), image).ok());
    EXPECT_EQ(ReadLastDrive(folder.path()), image);
    EXPECT_EQ(readBytes(folder.file("player.dat")), "settings of the last run\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(folder.file("player-state.txt").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "the discs a user played are nobody else's";

    // A file edited by hand: other lines are skipped, the last drive line counts.
    writeBytes(folder.file("player-state.txt"), "# mine\r\nvolume=3\r\ndrive=demo\r\n");
    EXPECT_EQ(ReadLastDrive(folder.path()), "demo");
    writeBytes(folder.file("player-state.txt"), "nothing here\n");
    EXPECT_EQ(ReadLastDrive(folder.path()), std::nullopt);

    EXPECT_FALSE(SaveLastDrive(folder.path(), "/home/me/two\nlines.cue").ok());
    EXPECT_EQ(folderEntries(folder.path()), (QStringList{"player-state.txt", "player.dat"}));
}

TEST(StateFile, AStartWithoutADriveTakesTheLastOneWhileItIsThere) {
    const auto exists = [](const std::string& path) { return path == "/home/me/here.cue"; };
    struct Case {
        std::string named;
        std::optional<std::string> last;
        std::string opened;
    };
    const Case cases[] = {
        {"/dev/sr1", "/home/me/here.cue", "/dev/sr1"},  // the drive named wins
        {"", "/home/me/here.cue", "/home/me/here.cue"},
        {"", "/home/me/gone.cue", ""},  // gone: the system's default drive
        {"", "demo", "demo"},
        {"", std::nullopt, ""},
        {"", "", ""},
        {"", "virtual:03:00:00", ""},  // a disc described once is not kept
        {"", "relative/here.cue", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DriveToOpen(c.named, c.last, exists), c.opened) << c.last.value_or("(none)");
    }
}

}  // namespace
}  // namespace sonarch
