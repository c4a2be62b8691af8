#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"

namespace sonarch {

// A transport command sent to the running player (the desktop entry's actions).
enum class RemoteCommand { None, PlayPause, Next, Previous, Stop };

struct CommandLine {
    std::string drive;             // "" is the system's default CD drive
    std::string audio = "system";  // system | null | wav:FILE
    std::optional<std::string> settingsDir;
    std::optional<std::string> library;  // a library file to use from now on, made absolute
    std::optional<std::string> screenshot;
    RemoteCommand remote = RemoteCommand::None;  // takes no drive
    bool help = false;
    bool version = false;
};

// The drive may also come as a plain argument, in the forms desktops pass for an inserted
// disc: a device path, a cdda://sr0/ URI, a file:// URI or the path of a disc image.
Result<CommandLine> parseCommandLine(const std::vector<std::string>& arguments);
std::string usageText();

}  // namespace sonarch
