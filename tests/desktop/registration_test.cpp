// The default CD player registration, read back by the desktop's own tools (xdg-mime,
// desktop-file-validate) from temporary freedesktop folders.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <map>

#include "desktop/desktop_entry.h"
#include "desktop/desktop_registration.h"
#include "support/xdg_sandbox.h"

namespace sonarch {
namespace {

using testing::XdgSandbox;

#define REQUIRE_XDG_UTILS()                                                             \
    if (!XdgSandbox::haveXdgUtils()) {                                                  \
        GTEST_SKIP() << "xdg-utils are not installed (scripts/setup.sh installs them)"; \
    }

// xdg-mime only names entries whose program exists: the test program stands in.
std::string thisProgram() {
    return QCoreApplication::applicationFilePath().toStdString();
}

std::string entryPath(const XdgSandbox& xdg) {
    return xdg.path("data/applications/sonarch-qvplayer-audiocd.desktop").toStdString();
}

// Every file below the sandbox, with its bytes.
std::map<QString, std::string> filesOf(const XdgSandbox& xdg) {
    std::map<QString, std::string> files;
    QDirIterator it(xdg.path(""), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        files[file] = XdgSandbox::read(file);
    }
    return files;
}

struct Validation {
    int exitCode = -1;
    std::string output;
};

Validation validate(const std::string& entry) {
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start("desktop-file-validate", {QString::fromStdString(entry)});
    if (!tool.waitForFinished(20000)) {
        return {};
    }
    return {tool.exitCode(), tool.readAll().toStdString()};
}

void installEntry(const XdgSandbox& xdg, const QString& id, const std::string& exec) {
    ASSERT_TRUE(
        XdgSandbox::write(xdg.path("data/applications/" + id),
                          "[Desktop Entry]\nType=Application\nName=Other\nExec=" + exec + "\n"));
}

TEST(DefaultCdPlayer, TickingMakesThePlayerTheDesktopsHandlerForAudioCds) {
    REQUIRE_XDG_UTILS();
    XdgSandbox xdg;
    const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
    EXPECT_FALSE(registration.isDefaultCdPlayer());
    EXPECT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);

    EXPECT_EQ(xdg.queryDefault("x-content/audio-cdda"), "sonarch-qvplayer-audiocd.desktop");
    const std::string entry = XdgSandbox::read(QString::fromStdString(entryPath(xdg)));
    EXPECT_NE(entry.find("\nExec=" + thisProgram() + " %U\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nMimeType=x-content/audio-cdda;\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nName=Sonarch CD Player\n"), std::string::npos) << entry;
    // Plasma's device action runs the same program for the drive.
    const std::string action =
        XdgSandbox::read(xdg.path("data/solid/actions/sonarch-qvplayer-audiocd.desktop"));
    EXPECT_NE(action.find("\nExec=" + thisProgram() + " %d\n"), std::string::npos) << action;
    // A new dialog finds it ticked.
    EXPECT_TRUE(
        DesktopRegistration(XdgFolders::fromEnvironment(), thisProgram()).isDefaultCdPlayer());

    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        GTEST_SKIP() << "desktop-file-utils are not installed (scripts/setup.sh installs them)";
    }
    const Validation checked = validate(entryPath(xdg));
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_EQ(checked.output.find("error"), std::string::npos) << checked.output;
}

TEST(DefaultCdPlayer, ClearingRemovesOnlyTheAudioCdDefault) {
    REQUIRE_XDG_UTILS();
    XdgSandbox xdg;
    installEntry(xdg, "other-player.desktop", "/bin/true %U");
    installEntry(xdg, "editor.desktop", "/bin/true %F");
    const std::string before =
        "# kept as written\n"
        "[Added Associations]\n"
        "audio/flac=other-player.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "text/plain=editor.desktop;\n"
        "x-content/audio-cdda=other-player.desktop;\n";
    ASSERT_TRUE(XdgSandbox::write(xdg.path("config/mimeapps.list"), before));
    ASSERT_EQ(xdg.queryDefault("x-content/audio-cdda"), "other-player.desktop");

    const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
    ASSERT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);
    ASSERT_EQ(xdg.queryDefault("x-content/audio-cdda"), "sonarch-qvplayer-audiocd.desktop");
    EXPECT_EQ(registration.setDefaultCdPlayer(false), std::nullopt);

    EXPECT_EQ(xdg.queryDefault("x-content/audio-cdda"), "")
        << "the desktop's own choice applies again, not the player there before";
    EXPECT_EQ(xdg.queryDefault("text/plain"), "editor.desktop");
    EXPECT_EQ(xdg.mimeapps(),
              "# kept as written\n"
              "[Added Associations]\n"
              "audio/flac=other-player.desktop;\n"
              "\n"
              "[Default Applications]\n"
              "text/plain=editor.desktop;\n");
    EXPECT_FALSE(QFile::exists(QString::fromStdString(entryPath(xdg))));
    EXPECT_FALSE(registration.isDefaultCdPlayer());
}

TEST(DefaultCdPlayer, ShowsClearedWhenTheDefaultDoesNotRunThisVeryProgram) {
    REQUIRE_XDG_UTILS();
    XdgSandbox xdg;
    const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
    ASSERT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);

    // The program moved.
    EXPECT_FALSE(DesktopRegistration(XdgFolders::fromEnvironment(), thisProgram() + "-moved")
                     .isDefaultCdPlayer());

    // Another player registered itself since, with the desktop's own tool.
    installEntry(xdg, "other-player.desktop", "/bin/true %U");
    QProcess mime;
    mime.start("xdg-mime", {"default", "other-player.desktop", "x-content/audio-cdda"});
    ASSERT_TRUE(mime.waitForFinished(20000));
    ASSERT_EQ(xdg.queryDefault("x-content/audio-cdda"), "other-player.desktop");
    EXPECT_FALSE(registration.isDefaultCdPlayer());

    // An entry that runs the program under a name differing only in letter case.
    ASSERT_TRUE(registration.setDefaultCdPlayer(true) == std::nullopt);
    ASSERT_TRUE(registration.isDefaultCdPlayer());
    installEntry(xdg, "sonarch-qvplayer-audiocd.desktop",
                 QString::fromStdString(thisProgram()).toUpper().toStdString() + " %U");
    EXPECT_FALSE(registration.isDefaultCdPlayer());

    // A desktop's own list comes before the common one.
    ASSERT_TRUE(registration.setDefaultCdPlayer(true) == std::nullopt);
    testing::ScopedEnvironment gnome;
    gnome.set("XDG_CURRENT_DESKTOP", "GNOME");
    ASSERT_TRUE(XdgSandbox::write(xdg.path("config/gnome-mimeapps.list"),
                                  "[Default Applications]\n"
                                  "x-content/audio-cdda=other-player.desktop;\n"));
    EXPECT_FALSE(
        DesktopRegistration(XdgFolders::fromEnvironment(), thisProgram()).isDefaultCdPlayer());
}

TEST(DefaultCdPlayer, TickingWinsOverAnotherPlayerInTheDesktopsOwnList) {
    REQUIRE_XDG_UTILS();
    XdgSandbox xdg;
    testing::ScopedEnvironment gnome;
    gnome.set("XDG_CURRENT_DESKTOP", "GNOME");
    installEntry(xdg, "other-player.desktop", "/bin/true %U");
    const std::string otherLines = "[Default Applications]\ntext/plain=editor.desktop;\n";
    ASSERT_TRUE(XdgSandbox::write(xdg.path("config/gnome-mimeapps.list"),
                                  otherLines + "x-content/audio-cdda=other-player.desktop;\n"));
    ASSERT_EQ(xdg.queryDefault("x-content/audio-cdda"), "other-player.desktop");

    const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
    EXPECT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);
    EXPECT_EQ(xdg.queryDefault("x-content/audio-cdda"), "sonarch-qvplayer-audiocd.desktop")
        << "the desktop's own list names the player now";
    EXPECT_TRUE(registration.isDefaultCdPlayer());
    EXPECT_EQ(XdgSandbox::read(xdg.path("config/gnome-mimeapps.list")),
              otherLines + "x-content/audio-cdda=sonarch-qvplayer-audiocd.desktop;\n");

    EXPECT_EQ(registration.setDefaultCdPlayer(false), std::nullopt);
    EXPECT_EQ(XdgSandbox::read(xdg.path("config/gnome-mimeapps.list")), otherLines);
    EXPECT_NE(xdg.queryDefault("x-content/audio-cdda"), "sonarch-qvplayer-audiocd.desktop");
    EXPECT_FALSE(registration.isDefaultCdPlayer());
}

TEST(DefaultCdPlayer, ADesktopsOwnListWithoutAnAudioCdDefaultIsLeftAsItIs) {
    REQUIRE_XDG_UTILS();
    XdgSandbox xdg;
    testing::ScopedEnvironment gnome;
    gnome.set("XDG_CURRENT_DESKTOP", "ubuntu:GNOME");
    const std::string own = "[Default Applications]\ntext/plain=editor.desktop;\n";
    ASSERT_TRUE(XdgSandbox::write(xdg.path("config/gnome-mimeapps.list"), own));
    const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
    EXPECT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);
    EXPECT_EQ(XdgSandbox::read(xdg.path("config/gnome-mimeapps.list")), own);
    EXPECT_FALSE(QFile::exists(xdg.path("config/ubuntu-mimeapps.list")));
    EXPECT_EQ(xdg.queryDefault("x-content/audio-cdda"), "sonarch-qvplayer-audiocd.desktop");
}

TEST(DefaultCdPlayer, AnUnreadableListShowsClearedAndIsNeverWrittenOver) {
    XdgSandbox xdg;
    ASSERT_TRUE(QDir().mkpath(xdg.path("config/mimeapps.list")));  // a folder, not a file
    const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
    EXPECT_FALSE(registration.isDefaultCdPlayer());
    EXPECT_NE(registration.setDefaultCdPlayer(true), std::nullopt);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(entryPath(xdg))));
    EXPECT_TRUE(QFileInfo(xdg.path("config/mimeapps.list")).isDir());
}

TEST(DefaultCdPlayer, TickingTwiceGivesTheSameFilesAsOnce) {
    XdgSandbox xdg;
    ASSERT_TRUE(XdgSandbox::write(xdg.path("config/mimeapps.list"),
                                  "[Default Applications]\ntext/plain=editor.desktop;\n"));
    const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
    ASSERT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);
    const auto once = filesOf(xdg);
    ASSERT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);
    EXPECT_EQ(filesOf(xdg), once);
    EXPECT_EQ(xdg.mimeapps(),
              "[Default Applications]\n"
              "text/plain=editor.desktop;\n"
              "x-content/audio-cdda=sonarch-qvplayer-audiocd.desktop;\n");
}

TEST(DefaultCdPlayer, AFolderThatCannotBeWrittenLeavesEveryFileAsItWas) {
    // A folder below a plain file cannot be made, not even by root.
    for (const char* blocked : {"config", "data"}) {
        XdgSandbox xdg;
        const std::string list = "[Default Applications]\ntext/plain=editor.desktop;\n";
        ASSERT_TRUE(XdgSandbox::write(xdg.path("config/mimeapps.list"), list));
        ASSERT_TRUE(XdgSandbox::write(xdg.path("plain-file"), "x"));
        testing::ScopedEnvironment env;
        env.set(std::string(blocked) == "config" ? "XDG_CONFIG_HOME" : "XDG_DATA_HOME",
                QFile::encodeName(xdg.path("plain-file/below")));
        const auto before = filesOf(xdg);
        const DesktopRegistration registration(XdgFolders::fromEnvironment(), thisProgram());
        EXPECT_NE(registration.setDefaultCdPlayer(true), std::nullopt) << blocked;
        EXPECT_EQ(filesOf(xdg), before) << blocked;
        EXPECT_FALSE(registration.isDefaultCdPlayer()) << blocked;
    }
}

TEST(DefaultCdPlayer, AProgramPathWithReservedCharactersIsQuotedInAValidEntry) {
    XdgSandbox xdg;
    const QString program = xdg.path("My Player/qv%player$1");
    ASSERT_TRUE(XdgSandbox::write(program, "#!/bin/sh\n"));
    const DesktopRegistration registration(XdgFolders::fromEnvironment(), program.toStdString());
    ASSERT_EQ(registration.setDefaultCdPlayer(true), std::nullopt);
    const std::string entry = XdgSandbox::read(QString::fromStdString(entryPath(xdg)));
    // Quoted, '%' doubled, '$' escaped inside the quotes, and that backslash escaped again.
    const std::string expected =
        "\nExec=\"" + xdg.path("My Player/qv%%player\\\\$1").toStdString() + "\" %U\n";
    EXPECT_NE(entry.find(expected), std::string::npos) << entry;
    EXPECT_TRUE(registration.isDefaultCdPlayer());
    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        GTEST_SKIP() << "desktop-file-utils are not installed (scripts/setup.sh installs them)";
    }
    const Validation checked = validate(entryPath(xdg));
    EXPECT_EQ(checked.exitCode, 0) << checked.output;
    EXPECT_EQ(checked.output.find("error"), std::string::npos) << checked.output;
}

}  // namespace
}  // namespace sonarch
