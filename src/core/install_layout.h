#pragma once

#include <optional>
#include <string>

#include "base/result.h"

namespace sonarch {

// The file an installation writes into the player's shared-data folder. Its presence tells
// an installed player (settings under $XDG_CONFIG_HOME) from a build tree or a portable
// copy (settings beside the program).
inline constexpr const char* kInstalledMarkerName = "installed";

// The shared-data folder of a program installed in `programDir`: `dataFromProgram` (the
// install layout's path from the program folder to the data folder, "../share/qvplayer")
// joined to `programDir`, when the installation's marker is there; nothing otherwise.
std::optional<std::string> InstalledDataFolder(const std::string& programDir,
                                               const std::string& dataFromProgram);

// The same for the running program, with the layout it was built for.
std::optional<std::string> InstalledDataFolder(const std::string& programDir);
std::optional<std::string> ThisProgramsDataFolder();

// The demo disc's library that an installation brings, when it is there.
std::optional<std::string> InstalledDemoLibrary(const std::string& dataFolder);

// The user's own copy of the installed demo library, `userData`/qvplayer/demo.dbd (userData
// is $XDG_DATA_HOME), made from `installed` when it is not there yet and kept as the user
// changed it afterwards: users cannot write the installed file, so the demo disc's ratings
// and comments need a copy. A failure says why in plain words.
Result<std::string> UserDemoLibrary(const std::string& installed, const std::string& userData);

}  // namespace sonarch
