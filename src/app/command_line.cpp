#include "app/command_line.h"

#include "base/absolute_path.h"
#include "device/drives/drive_name.h"

namespace sonarch {

namespace {

std::optional<RemoteCommand> remoteCommand(const std::string& option) {
    if (option == "--play-pause") {
        return RemoteCommand::PlayPause;
    }
    if (option == "--next") {
        return RemoteCommand::Next;
    }
    if (option == "--previous") {
        return RemoteCommand::Previous;
    }
    if (option == "--stop") {
        return RemoteCommand::Stop;
    }
    return std::nullopt;
}

}  // namespace

std::string usageText() {
    return "usage: qvplayer [options] [DRIVE]\n"
           "  --drive demo|virtual:LEN,...|PATH  the CD drive: the demo disc, a disc described\n"
           "                                      as track lengths mm:ss:ff, a device node or a\n"
           "                                      disc image (default: the system's CD drive)\n"
           "  --audio system|null|wav:FILE        where the sound goes (default: system)\n"
           "  --library FILE                      use this library (*.dbd) from now on\n"
           "  --settings-dir DIR                  keep player.dat in DIR\n"
           "  --screenshot FILE                   save the window as a PNG after the first\n"
           "                                      poll, then close\n"
           "  --play-pause, --next, --previous, --stop\n"
           "                                      tell the running player (--play-pause\n"
           "                                      starts one when none runs)\n"
           "  --help, --version\n"
           "DRIVE, as desktops pass it: /dev/sr0, cdda://sr0/, a disc image's path or file://\n"
           "URI. Without one, the player opens the drive or image it had last. While a player\n"
           "runs, a second start hands its drive to it, or brings its window forward, and ends.\n";
}

Result<CommandLine> parseCommandLine(const std::vector<std::string>& arguments) {
    using R = Result<CommandLine>;
    CommandLine line;
    bool driveGiven = false;
    auto takeDrive = [&](const std::string& drive) {
        if (driveGiven) {
            return false;
        }
        driveGiven = true;
        line.drive = drive;
        return true;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (!option.empty() && option.front() != '-') {
            // The plain form desktops use to start a player on a drive or image.
            const auto drive = DriveNameFromArgument(option);
            if (!drive) {
                return R::failure("'" + option + "' names no drive or disc image");
            }
            if (!takeDrive(*drive)) {
                return R::failure("more than one drive given ('" + option + "')");
            }
            continue;
        }
        if (option == "--help" || option == "-h") {
            line.help = true;
            continue;
        }
        if (option == "--version") {
            line.version = true;
            continue;
        }
        if (const auto command = remoteCommand(option)) {
            if (line.remote != RemoteCommand::None) {
                return R::failure("only one of --play-pause, --next, --previous and --stop");
            }
            line.remote = *command;
            continue;
        }
        const bool takesValue = option == "--drive" || option == "--audio" ||
                                option == "--settings-dir" || option == "--library" ||
                                option == "--screenshot";
        if (!takesValue) {
            return R::failure("unknown option '" + option + "'");
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            return R::failure(option + " needs a value");
        }
        const std::string& value = arguments[++i];
        if (option == "--drive") {
            if (!takeDrive(value)) {
                return R::failure("more than one drive given ('" + value + "')");
            }
        } else if (option == "--audio") {
            if (value != "system" && value != "null" && value.rfind("wav:", 0) != 0) {
                return R::failure("--audio takes system, null or wav:FILE");
            }
            if (value == "wav:") {
                return R::failure("--audio wav: needs a file name");
            }
            line.audio = value;
        } else if (option == "--settings-dir") {
            line.settingsDir = value;
        } else if (option == "--library") {
            // Kept in the settings: the next start may come from another folder.
            line.library = AbsolutePath(value);
        } else {
            line.screenshot = value;
        }
    }
    if (line.remote != RemoteCommand::None && driveGiven) {
        return R::failure("--play-pause, --next, --previous and --stop take no drive");
    }
    return R::success(line);
}

}  // namespace sonarch
