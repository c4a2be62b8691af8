#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include <QDir>
#include <QFileInfo>

#include "core/settings_file.h"
#include "support/file_helpers.h"

namespace sonarch {
namespace {

using testing::TempFolder;
using testing::writeBytes;

TEST(ChooseSettingsFolder, PrefersTheOptionThenAWritableProgramFolderThenTheConfigFolder) {
    struct Case {
        const char* name;
        SettingsLocation location;
        std::set<std::string> writable;
        const char* folder;
    };
    const Case cases[] = {
        {"option wins over a writable program folder",
         {"/data/sonarch", "/opt/qvplayer", "/home/ann/cfg", "/home/ann"},
         {"/opt/qvplayer"},
         "/data/sonarch"},
        {"option is taken even when not writable yet",
         {"/data/new", "/usr/bin", "", "/home/ann"},
         {},
         "/data/new"},
        {"writable program folder (portable install, build tree)",
         {std::nullopt, "/home/ann/qvplayer", "", "/home/ann"},
         {"/home/ann/qvplayer"},
         "/home/ann/qvplayer"},
        {"read-only program folder, XDG_CONFIG_HOME set",
         {std::nullopt, "/usr/bin", "/home/ann/cfg", "/home/ann"},
         {"/home/ann/cfg"},
         "/home/ann/cfg/qvplayer"},
        {"read-only program folder, XDG_CONFIG_HOME unset",
         {std::nullopt, "/usr/bin", "", "/home/ann"},
         {},
         "/home/ann/.config/qvplayer"},
        {"a relative XDG_CONFIG_HOME is ignored",
         {std::nullopt, "/usr/bin", "cfg", "/home/ann"},
         {},
         "/home/ann/.config/qvplayer"},
        {"an empty option counts as none",
         {"", "/usr/bin", "/home/ann/cfg", "/home/ann"},
         {},
         "/home/ann/cfg/qvplayer"},
    };
    for (const Case& c : cases) {
        const auto isWritable = [&c](const std::string& folder) {
            return c.writable.count(folder) > 0;
        };
        EXPECT_EQ(ChooseSettingsFolder(c.location, isWritable), c.folder) << c.name;
    }
}

TEST(IsWritableFolder, AcceptsOnlyAFolderThatCanTakeNewFiles) {
    TempFolder folder;
    EXPECT_TRUE(IsWritableFolder(folder.path()));
    EXPECT_FALSE(IsWritableFolder(folder.file("missing")));
    writeBytes(folder.file("plain"), "x");
    EXPECT_FALSE(IsWritableFolder(folder.file("plain")));
}

TEST(IsWritableFolder, RefusesAReadOnlyFolder) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser may write into any folder";
    }
    TempFolder folder;
    const std::string readOnly = folder.file("ro");
    ASSERT_EQ(::mkdir(readOnly.c_str(), 0555), 0);
    EXPECT_FALSE(IsWritableFolder(readOnly));
    ::chmod(readOnly.c_str(), 0755);
}

TEST(SettingsFolder, CreatesTheFolderNamedOnTheCommandLine) {
    TempFolder folder;
    const std::string named = folder.file("a/b/settings");
    EXPECT_EQ(SettingsFolder(named), named);
    EXPECT_TRUE(QFileInfo(QString::fromStdString(named)).isDir());

    // A relative name is taken from the folder the player was started in.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder.path())));
    const std::string relative = SettingsFolder(std::string("rel"));
    QDir::setCurrent(before);
    EXPECT_EQ(relative, folder.file("rel"));
    EXPECT_TRUE(QFileInfo(QString::fromStdString(folder.file("rel"))).isDir());
}

// The names in a folder as bytes (Qt lists only names it can decode).
std::vector<std::string> entryBytes(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

TEST(SettingsFolder, AFolderNameThatIsNotUtf8IsUsedByteForByte) {
    TempFolder folder;
    const std::string named = folder.file("einstellungen-f\xFCr-\xE9");  // Latin-1
    EXPECT_EQ(SettingsFolder(named), named);

    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(folder.path())));
    const std::string relative = SettingsFolder(std::string("rel-\xFC"));
    QDir::setCurrent(before);
    EXPECT_EQ(relative, folder.file("rel-\xFC"));

    std::vector<std::string> made = entryBytes(folder.path());
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, (std::vector<std::string>{"einstellungen-f\xFCr-\xE9", "rel-\xFC"}))
        << "each folder under its own name, and no other";
    // Qt cannot remove what it cannot name.
    std::filesystem::remove_all(named);
    std::filesystem::remove_all(relative);
}

}  // namespace
}  // namespace sonarch
