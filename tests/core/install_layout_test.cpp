#include <gtest/gtest.h>

#include <QDir>

#include "core/install_layout.h"
#include "support/file_helpers.h"

namespace sonarch {
namespace {

using testing::TempFolder;
using testing::writeBytes;

// An install tree in a temporary folder: PREFIX/bin and PREFIX/share/qvplayer.
struct InstallTree {
    InstallTree() {
        QDir().mkpath(QString::fromStdString(bin()));
        QDir().mkpath(QString::fromStdString(data()));
    }
    std::string bin() const { return prefix.file("bin"); }
    std::string data() const { return prefix.file("share/qvplayer"); }
    TempFolder prefix;
};

TEST(InstalledDataFolder, IsFoundOnlyThroughTheMarkerTheInstallationWrites) {
    InstallTree tree;
    EXPECT_EQ(InstalledDataFolder(tree.bin(), "../share/qvplayer"), std::nullopt)
        << "a data folder without the marker is no installation";

    writeBytes(tree.data() + "/" + kInstalledMarkerName, "installed\n");
    EXPECT_EQ(InstalledDataFolder(tree.bin(), "../share/qvplayer"), tree.data())
        << "the path is given without the climb out of bin";
    EXPECT_EQ(InstalledDataFolder(tree.bin() + "/", "../share/qvplayer/"), tree.data());
    EXPECT_EQ(InstalledDataFolder(tree.prefix.path(), "../share/qvplayer"), std::nullopt)
        << "a program elsewhere in the tree is not the installed one";
    EXPECT_EQ(InstalledDataFolder("", "../share/qvplayer"), std::nullopt);

    QDir().mkpath(QString::fromStdString(tree.bin() + "/share/qvplayer/installed"));
    EXPECT_EQ(InstalledDataFolder(tree.bin(), "share/qvplayer"), std::nullopt)
        << "a folder of the marker's name is no marker";
}

TEST(InstalledDataFolder, TheBuildTreeIsNotAnInstallation) {
    // The tests run from the build tree's bin/, where the player keeps player.dat beside
    // itself.
    EXPECT_EQ(ThisProgramsDataFolder(), std::nullopt);
}

TEST(InstalledDemoLibrary, IsTheDemoLibraryInTheDataFolderWhenThere) {
    InstallTree tree;
    EXPECT_EQ(InstalledDemoLibrary(tree.data()), std::nullopt);
    QDir().mkpath(QString::fromStdString(tree.data() + "/demo"));
    writeBytes(tree.data() + "/demo/demo.dbd", "library");
    EXPECT_EQ(InstalledDemoLibrary(tree.data()), tree.data() + "/demo/demo.dbd");
}

TEST(UserDemoLibrary, IsACopyMadeOnceThatKeepsWhatTheUserChanged) {
    InstallTree tree;
    TempFolder user;
    const std::string installed = tree.data() + "/demo.dbd";
    writeBytes(installed, "the demo library");

    const auto first = UserDemoLibrary(installed, user.file("data"));
    ASSERT_TRUE(first.ok()) << first.error();
    EXPECT_EQ(first.value(), user.file("data/qvplayer/demo.dbd"));
    EXPECT_EQ(testing::readBytes(first.value()), "the demo library");

    // Ratings written into the copy stay when the player starts again.
    writeBytes(first.value(), "rated by the user");
    const auto again = UserDemoLibrary(installed, user.file("data"));
    ASSERT_TRUE(again.ok()) << again.error();
    EXPECT_EQ(testing::readBytes(again.value()), "rated by the user");

    // Where no copy can be made, the caller is told why.
    writeBytes(user.file("blocked"), "a file where the folder should be");
    const auto refused = UserDemoLibrary(installed, user.file("blocked"));
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("blocked"), std::string::npos) << refused.error();
    EXPECT_FALSE(UserDemoLibrary(tree.data() + "/missing.dbd", user.file("other")).ok());
}

}  // namespace
}  // namespace sonarch
