#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "core/safe_file.h"
#include "model/player_state.h"

namespace sonarch {

inline constexpr const char* kSettingsFileName = "player.dat";
inline constexpr int kSettingsLineCount = 15;

// A window position in twips. Kept as a float because the file stores lines 9 and 10 that
// way; reading rounds them to whole twips.
struct WindowPosition {
    double left = 0;
    double top = 0;
};

// Where the window sits when no position is stored: centred, (screen - window) / 2.
WindowPosition CentredWindowPosition(double screenWidthTwips, double screenHeightTwips,
                                     double windowWidthTwips, double windowHeightTwips);

// The general number format of the file: " 10 ", "-5 ", " 900.5 ".
std::string FormatNumber(std::int64_t value);
std::string FormatNumber(double value);

// The exact 15 lines of "player.dat", each ended by CR LF. Lines 9 and 10 come from `window`
// (the window's place at the moment of writing), not from settings.windowLeft / windowTop.
// A database path the file cannot hold (a line break or other control byte, only blanks) is
// written as "None selected", so the file always reads back line for line; any other path is
// written byte for byte, UTF-8 or not. Every window position the reader takes is written so
// that it reads back the same.
std::string FormatSettings(const Settings& settings, WindowPosition window);

struct ParsedSettings {
    Settings settings;
    std::vector<int> replacedLines;  // 1-based lines that were missing or unreadable
};

// Reads the text of "player.dat". Every missing or unreadable value takes its default (the
// window position defaults to `centred`) and the good ones are kept; lines after the 15th
// are ignored. Values are taken as stored: the volume range is StartupVolume's business.
ParsedSettings ParseSettings(std::string_view text, WindowPosition centred);

// The volume the player starts with: the stored one when it lies in 1..65000, else 34000.
// LoadSettings has applied it already, so calling it again at start-up changes nothing.
std::int32_t StartupVolume(std::int32_t stored);

// `folder` joined with "player.dat".
std::string SettingsFilePath(const std::string& folder);

struct LoadedSettings {
    Settings settings;                // ready to use, volume already in range
    std::vector<int> replacedLines;   // lines that took their default (see ParseSettings)
    bool createdDefaultFile = false;  // the file was missing and has been written
    std::string error;                // why the file could not be written or read, if so
};

// Start-up: when "player.dat" is missing, writes the default file first, then reads it.
// Never fails: whatever cannot be read comes back as its default, with `error` saying why.
// A file the player may not use (see OwnFileBehind) is not read either: the settings are
// then kept in memory, and saving them fails saying why.
LoadedSettings LoadSettings(const std::string& folder, WindowPosition centred);
LoadedSettings LoadSettings(const std::string& folder, WindowPosition centred, FileOps& files);

// Shut-down: writes the 15 lines with WriteOwnFile, so a crash or a full disk never leaves a
// damaged or empty file behind. A symbolic link is followed and kept only as far as
// OwnFileBehind allows; anything else in the file's place (a device node, a pipe, a link of
// another user, a dangling link, any link for root) is never replaced, and the save fails
// saying so. Gives the path written.
Result<std::string> SaveSettings(const std::string& folder, const Settings& settings,
                                 WindowPosition window);
Result<std::string> SaveSettings(const std::string& folder, const Settings& settings,
                                 WindowPosition window, FileOps& files);

// What decides the folder of "player.dat".
struct SettingsLocation {
    std::optional<std::string> settingsDirOption;  // --settings-dir DIR
    std::string programDir;                        // the executable's folder; empty when installed
    std::string xdgConfigHome;                     // $XDG_CONFIG_HOME, empty when unset
    std::string home;                              // the user's home folder
};

// The folder named on the command line; else the program's folder when it is writable (a
// portable install, the build tree); else "qvplayer" in the user's configuration folder.
std::string ChooseSettingsFolder(const SettingsLocation& location,
                                 const std::function<bool(const std::string&)>& isWritable);

// A folder in which files can be created and renamed.
bool IsWritableFolder(const std::string& folder);

// The settings folder of this process: ChooseSettingsFolder over the real program folder and
// environment. Creates the chosen folder when it is missing.
std::string SettingsFolder(const std::optional<std::string>& settingsDirOption);

}  // namespace sonarch
