#include "app/command_line.h"

#include <filesystem>

namespace sonarch {

namespace {

// The library is kept in the settings, so it is named from the root: the next start may come
// from another folder. Bytes are kept as given; "." steps are dropped, ".." kept (it may
// lead back out of a symbolic link).
std::string absolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) {
        return path;
    }
    std::filesystem::path tidy;
    for (const std::filesystem::path& part : absolute) {
        if (part != ".") {
            tidy /= part;
        }
    }
    return tidy.string();
}

}  // namespace

std::string usageText() {
    return "usage: qvplayer [options]\n"
           "  --drive demo|virtual:LEN,...|PATH  the CD drive: the demo disc, a disc described\n"
           "                                      as track lengths mm:ss:ff, a device node or a\n"
           "                                      disc image (default: the system's CD drive)\n"
           "  --audio system|null|wav:FILE        where the sound goes (default: system)\n"
           "  --library FILE                      use this library (*.dbd) from now on\n"
           "  --settings-dir DIR                  keep player.dat in DIR\n"
           "  --screenshot FILE                   save the window as a PNG after the first\n"
           "                                      poll, then close\n"
           "  --help, --version\n";
}

Result<CommandLine> parseCommandLine(const std::vector<std::string>& arguments) {
    using R = Result<CommandLine>;
    CommandLine line;
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
            line.drive = value;
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
            line.library = absolutePath(value);
        } else {
            line.screenshot = value;
        }
    }
    return R::success(line);
}

}  // namespace sonarch
