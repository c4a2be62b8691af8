#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace sonarch {

struct LibrarianCommandLine {
    std::optional<std::string> library;  // made absolute; else the player's library
    std::optional<std::string> drive;    // as --drive takes it; else the player's last drive
    std::optional<std::string> settingsDir;
    bool add = false;  // open on the disc in the drive
    bool help = false;
    bool version = false;
};

// qvlibrary [--library FILE] [--drive DRIVE] [--add] [--settings-dir DIR] [--help] [--version]
Result<LibrarianCommandLine> ParseLibrarianCommandLine(const std::vector<std::string>& arguments);
std::string LibrarianUsageText();

}  // namespace sonarch
