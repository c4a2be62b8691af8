#include "app/command_line.h"

#include <cctype>
#include <string_view>

namespace sonarch {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// %XX escapes of a URI decoded; a '%' that starts no escape stays as it is.
std::string percentDecoded(std::string_view text) {
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            plain += char(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            plain += text[i];
        }
    }
    return plain;
}

// The scheme of a "scheme://..." argument, lower-cased; empty for a plain path.
std::string schemeOf(const std::string& argument) {
    const auto colon = argument.find("://");
    if (colon == std::string::npos || colon == 0 || !std::isalpha((unsigned char)argument[0])) {
        return {};
    }
    std::string scheme;
    for (char c : argument.substr(0, colon)) {
        if (!std::isalnum((unsigned char)c) && c != '+' && c != '-' && c != '.') {
            return {};
        }
        scheme += char(std::tolower((unsigned char)c));
    }
    return scheme;
}

}  // namespace

Result<std::string> driveFromArgument(const std::string& argument) {
    using R = Result<std::string>;
    const std::string scheme = schemeOf(argument);
    if (scheme.empty()) {
        return R::success(argument);
    }
    const std::string rest = argument.substr(scheme.size() + 3);
    const auto slash = rest.find('/');
    const std::string host = percentDecoded(rest.substr(0, slash));
    const std::string path = slash == std::string::npos ? "" : percentDecoded(rest.substr(slash));
    if (host.find('\0') != std::string::npos || path.find('\0') != std::string::npos) {
        return R::failure("'" + argument + "' is not a usable name");
    }
    if (scheme == "cdda") {
        // cdda://sr0/ names the drive by its device name; the rest (a track) is no matter.
        if (host.empty()) {
            return R::failure("'" + argument + "' names no CD drive");
        }
        return R::success(host.front() == '/' ? host : "/dev/" + host);
    }
    if (scheme == "file") {
        if (!host.empty() && host != "localhost") {
            return R::failure("'" + argument + "' is a file on another computer");
        }
        if (path.empty()) {
            return R::failure("'" + argument + "' names no file");
        }
        return R::success(path);
    }
    return R::failure("cannot play a disc from '" + argument + "'");
}

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
           "  --help, --version\n"
           "  DRIVE, as desktops pass it: /dev/sr0, cdda://sr0/, a disc image path or a\n"
           "  file:// URI\n";
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
            const auto drive = driveFromArgument(option);
            if (!drive.ok()) {
                return R::failure(drive.error());
            }
            if (!takeDrive(drive.value())) {
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
            line.library = value;
        } else {
            line.screenshot = value;
        }
    }
    return R::success(line);
}

}  // namespace sonarch
