#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace sonarch {

// A track's rating given in the player before its disc was in the library.
struct PendingRating {
    int track = 0;   // 1 to 99
    int rating = 0;  // 1 to 10

    bool operator==(const PendingRating&) const = default;
};

struct LibrarianCommandLine {
    std::optional<std::string> library;  // made absolute; else the player's library
    std::optional<std::string> drive;    // as --drive takes it; else the player's last drive
    std::optional<std::string> settingsDir;
    bool add = false;                     // open on the disc in the drive
    std::optional<PendingRating> rating;  // with add: to keep when the disc is saved
    bool help = false;
    bool version = false;
};

// qvlibrary [--library FILE] [--drive DRIVE] [--add [--rate TRACK:RATING]]
//           [--settings-dir DIR] [--help] [--version]
Result<LibrarianCommandLine> ParseLibrarianCommandLine(const std::vector<std::string>& arguments);
std::string LibrarianUsageText();

}  // namespace sonarch
