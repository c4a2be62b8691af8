#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sonarch {

inline constexpr char kAudioCdType[] = "x-content/audio-cdda";
// The player's own entry for audio CDs; a name of its own, so it never hides an installed
// entry of the player from the menus.
inline constexpr char kCdPlayerEntryId[] = "sonarch-qvplayer-audiocd.desktop";
inline constexpr char kCdPlayerIconName[] = "sonarch-qvplayer";

// The folders of the freedesktop base directories that the registration reads and writes.
struct XdgFolders {
    std::string configHome;
    std::string dataHome;
    std::vector<std::string> configDirs;
    std::vector<std::string> dataDirs;
    std::vector<std::string> currentDesktops;  // lower case, as mimeapps.list names use them

    // From XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_CONFIG_DIRS, XDG_DATA_DIRS and
    // XDG_CURRENT_DESKTOP, with freedesktop's defaults where they are unset.
    static XdgFolders fromEnvironment();
};

// This program as the desktop's default player for inserted audio CDs: a desktop entry
// under the data home, the default for x-content/audio-cdda in the config home's
// mimeapps.list (and in the current desktop's own list there, which it reads first, when
// that names a default of its own), and Plasma's per-user device action. Files are written through
// a temporary file and renamed, so they are whole or as they were.
class DesktopRegistration {
public:
    // `iconFile` (may be empty) is copied as the entry's icon.
    DesktopRegistration(XdgFolders folders, std::string programPath, std::string iconFile = {});

    // True exactly when the desktop's default for audio CDs is an entry that runs this
    // program as "PATH %U" (compared case-sensitively and whole).
    bool isDefaultCdPlayer() const;
    // Makes this program the default, or removes it as the default. On failure, the
    // reason in plain words; the files are left as they were.
    std::optional<std::string> setDefaultCdPlayer(bool on) const;

    std::string execLine() const;
    std::string entryPath() const;
    std::string mimeappsPath() const;
    std::string actionPath() const;
    std::string iconPath() const;

private:
    std::optional<std::string> installedEntry(const std::string& desktopId) const;
    std::optional<std::string> defaultEntryPath() const;
    std::optional<std::string> makeDefault() const;
    std::optional<std::string> removeDefault() const;
    std::vector<std::string> desktopListsNamingAudioCds() const;

    XdgFolders m_folders;
    std::string m_programPath;
    std::string m_iconFile;
};

}  // namespace sonarch
