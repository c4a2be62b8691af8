#include "librarian/librarian_command_line.h"

#include "base/absolute_path.h"
#include "base/number_text.h"
#include "device/drives/drive_name.h"

namespace sonarch {

std::string LibrarianUsageText() {
    return "usage: qvlibrary [options]\n"
           "  --library FILE       the library (*.dbd) to show (default: the player's)\n"
           "  --drive DRIVE        the CD drive or disc image whose disc is added: demo,\n"
           "                       virtual:LEN,..., /dev/sr0, cdda://sr0/ or an image's path\n"
           "                       (default: the player's last drive, else the system's)\n"
           "  --add                open on the disc in the drive: add it, or edit it when the\n"
           "                       library holds it already\n"
           "  --rate TRACK:RATING  with --add: a rating (1 to 10) the player was given for a\n"
           "                       track before the disc was in the library, to keep with it\n"
           "  --settings-dir DIR   the folder of the player's player.dat\n"
           "  --help, --version\n"
           "The library window of the Sonarch CD Player: every disc of the library, their\n"
           "titles, ratings, comments and covers, and the disc in the drive added from its\n"
           "CD-TEXT, from MusicBrainz or as typed.\n";
}

Result<LibrarianCommandLine> ParseLibrarianCommandLine(const std::vector<std::string>& arguments) {
    using R = Result<LibrarianCommandLine>;
    LibrarianCommandLine line;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            line.help = true;
            continue;
        }
        if (option == "--version") {
            line.version = true;
            continue;
        }
        if (option == "--add") {
            line.add = true;
            continue;
        }
        if (option != "--library" && option != "--drive" && option != "--settings-dir" &&
            option != "--rate") {
            return R::failure("unknown option '" + option + "'");
        }
        if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
            return R::failure(option + " needs a value");
        }
        const std::string& value = arguments[++i];
        if (option == "--rate") {
            const std::size_t colon = value.find(':');
            const auto track = parseInteger(value.substr(0, colon));
            const auto rating =
                parseInteger(colon == std::string::npos ? std::string() : value.substr(colon + 1));
            if (line.rating || !track || !rating || *track < 1 || *track > 99 || *rating < 1 ||
                *rating > 10) {
                return R::failure(
                    "--rate takes TRACK:RATING, a track from 1 to 99 and a "
                    "rating from 1 to 10, once");
            }
            line.rating = PendingRating{int(*track), int(*rating)};
            continue;
        }
        std::optional<std::string>& field = option == "--library" ? line.library
                                            : option == "--drive" ? line.drive
                                                                  : line.settingsDir;
        if (field) {
            return R::failure(option + " is given twice");
        }
        if (option == "--library") {
            field = AbsolutePath(value);
        } else if (option == "--drive") {
            const auto drive = DriveNameFromArgument(value);
            if (!drive) {
                return R::failure("'" + value + "' names no drive or disc image");
            }
            field = *drive;
        } else {
            field = value;
        }
    }
    if (line.rating && !line.add) {
        return R::failure("--rate goes with --add");
    }
    return R::success(line);
}

}  // namespace sonarch
