#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace sonarch {

// What the player hands the library window when it starts it.
struct LibraryWindowRequest {
    std::string library;  // the player's; empty (none chosen) passes none
    std::string drive;    // the player's drive as --drive takes it; empty passes none
    std::optional<std::string> settingsDir;  // the player's own --settings-dir
    bool addDisc = false;                    // open on the disc in the drive
    // A track's rating the user gave before the disc was added (track 0: none).
    int track = 0;
    int rating = 0;
};

// qvlibrary's arguments for the request.
std::vector<std::string> LibraryWindowArguments(const LibraryWindowRequest& request);

// Starts the library window, qvlibrary, found beside the program in `programDir`, on its
// own (it outlives the player). A library window already running takes the request
// itself and comes forward. Fails, saying why, when the program is missing or does not
// start.
Result<bool> StartLibraryWindow(const std::string& programDir, const LibraryWindowRequest& request);

}  // namespace sonarch
