#pragma once

#include <string>

namespace sonarch {

// Where a first library is made: "qvplayer/library.dbd" in the user's data folder,
// $XDG_DATA_HOME when it is an absolute path, else ~/.local/share.
std::string SuggestedLibraryPath(const std::string& xdgDataHome, const std::string& home);
// The same for this process's environment.
std::string SuggestedLibraryPath();

}  // namespace sonarch
