// The command line, the drive forms desktops pass for an inserted disc among it.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/command_line.h"

namespace sonarch {
namespace {

std::string driveOf(std::vector<std::string> arguments) {
    const auto line = parseCommandLine(arguments);
    EXPECT_TRUE(line.ok()) << line.error();
    return line.ok() ? line.value().drive : "(refused)";
}

TEST(CommandLine, TakesTheDriveAsAPlainArgumentInTheFormsDesktopsPass) {
    const std::pair<const char*, const char*> forms[] = {
        {"/dev/sr0", "/dev/sr0"},
        {"cdda://sr0/", "/dev/sr0"},
        {"cdda://sr1", "/dev/sr1"},
        {"CDDA://sr0/Track%201.wav", "/dev/sr0"},
        {"cdda://%2Fdev%2Fcdrom/", "/dev/cdrom"},
        {"file:///home/me/rips/album.cue", "/home/me/rips/album.cue"},
        {"file:///home/me/My%20Rips/album%2B1.cue", "/home/me/My Rips/album+1.cue"},
        {"file://localhost/srv/disc.toc", "/srv/disc.toc"},
        {"/home/me/100%.cue", "/home/me/100%.cue"},
    };
    for (const auto& [argument, drive] : forms) {
        EXPECT_EQ(driveOf({argument}), drive) << argument;
    }
    // A relative path means the same to the running player it may be handed to.
    EXPECT_EQ(driveOf({"rips/album.cue"}),
              (std::filesystem::current_path() / "rips/album.cue").string());
    EXPECT_EQ(driveOf({"--audio", "null", "cdda://sr0/"}), "/dev/sr0");
    EXPECT_EQ(driveOf({"--drive", "demo"}), "demo");
    EXPECT_EQ(driveOf({}), "") << "the system's default drive";
}

TEST(CommandLine, RefusesDrivesItCannotUseAndASecondDrive) {
    const std::vector<std::string> refused[] = {
        {"http://example.org/disc.cue"},
        {"file://otherhost/disc.cue"},
        {"file://"},
        {"cdda:///"},
        {"file:///disc%00.cue"},
        {"/dev/sr0", "/dev/sr1"},
        {"--drive", "demo", "/dev/sr0"},
        {"cdda://sr0/", "--drive", "demo"},
    };
    for (const auto& arguments : refused) {
        const auto line = parseCommandLine(arguments);
        EXPECT_FALSE(line.ok()) << arguments.front();
        EXPECT_FALSE(line.ok() ? true : line.error().empty());
    }
}

TEST(CommandLine, TheLaunchersCommandsComeOneAtATimeAndWithoutADrive) {
    const auto line = parseCommandLine({"--audio", "null", "--next"});
    ASSERT_TRUE(line.ok()) << line.error();
    EXPECT_EQ(line.value().remote, RemoteCommand::Next);
    EXPECT_EQ(line.value().drive, "");
    const std::vector<std::string> refused[] = {
        {"--next", "--stop"},
        {"--play-pause", "/dev/sr0"},
        {"--drive", "demo", "--previous"},
    };
    for (const auto& arguments : refused) {
        EXPECT_FALSE(parseCommandLine(arguments).ok()) << arguments.front();
    }
}

}  // namespace
}  // namespace sonarch
