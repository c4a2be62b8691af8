#include "core/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <system_error>

#include "base/time_text.h"
#include "core/install_layout.h"
#include "device/engine/audio_output.h"

namespace sonarch {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
// A real settings file is well under a kilobyte; reading stops here so that a huge file put
// in its place cannot exhaust memory.
constexpr std::size_t kMaxFileBytes = 64 * 1024;
constexpr double kInt32Limit = 2147483648.0;  // 2^31

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

// A path the file can hold and give back: one line with no control bytes, not only blanks,
// not starting with the UTF-8 mark that the reader drops from the start of the file. Other
// bytes are kept as they are, so a file name that is not UTF-8 (a Latin-1 name is a valid
// Linux file name) survives; binary garbage in the first line holds control bytes and falls
// back to "None selected".
bool storablePath(std::string_view path) {
    const std::string_view trimmed = trimBlanks(path);
    if (trimmed.empty() || trimmed.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        return false;
    }
    return std::none_of(path.begin(), path.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

std::optional<bool> readBoolean(std::string_view line) {
    const std::string_view word = trimBlanks(line);
    const auto equalsWord = [word](std::string_view expected) {
        return std::equal(word.begin(), word.end(), expected.begin(), expected.end(),
                          [](char a, char b) { return (a | 0x20) == b; });
    };
    if (equalsWord("true")) {
        return true;
    }
    if (equalsWord("false")) {
        return false;
    }
    return std::nullopt;
}

// A whole number of twips or seconds, fractions rounded half to even.
std::optional<std::int32_t> toInt32(double value) {
    if (!std::isfinite(value) || std::fabs(value) > kInt32Limit) {
        return std::nullopt;
    }
    const long long whole = roundHalfEven(value);
    if (whole < std::numeric_limits<std::int32_t>::min() ||
        whole > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(whole);
}

std::optional<std::int32_t> readNumber(std::string_view line) {
    std::string_view text = trimBlanks(line);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return toInt32(value);
}

// Splits at CR LF, and also at a lone CR or LF, so a file that lost its CRs to an editor or
// a copy between systems is still read line by line.
std::vector<std::string_view> splitLines(std::string_view text, std::size_t maxLines) {
    std::vector<std::string_view> lines;
    while (!text.empty() && lines.size() < maxLines) {
        const std::size_t end = text.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end));
        const std::size_t next =
            (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? end + 2
                                                                                  : end + 1;
        text.remove_prefix(next);
    }
    return lines;
}

Settings defaultSettings(WindowPosition centred) {
    Settings defaults;
    defaults.windowLeft = toInt32(centred.left).value_or(0);
    defaults.windowTop = toInt32(centred.top).value_or(0);
    return defaults;
}

}  // namespace

WindowPosition CentredWindowPosition(double screenWidthTwips, double screenHeightTwips,
                                     double windowWidthTwips, double windowHeightTwips) {
    return {(screenWidthTwips - windowWidthTwips) / 2, (screenHeightTwips - windowHeightTwips) / 2};
}

std::string FormatNumber(std::int64_t value) {
    const std::string digits = std::to_string(value);
    return value < 0 ? digits + " " : " " + digits + " ";
}

std::string FormatNumber(double value) {
    // Written as a single-precision float, the type the file has always stored these lines in.
    float single = static_cast<float>(value);
    if (single == 0) {
        single = 0;  // no "-0"
    }
    std::array<char, 64> buffer{};
    const auto [end, error] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), single,
                                            std::chars_format::fixed);
    const std::string digits =
        error == std::errc() ? std::string(buffer.data(), end) : std::string("0");
    return single < 0 ? digits + " " : " " + digits + " ";
}

namespace {

// Lines 9 and 10 are written as single-precision floats, which keep a fraction but skip whole
// numbers beyond 2^24: near 2^31 one would round to 2147483648, which no longer reads. Such a
// position is written as the whole number the reader makes of it, and a position the reader
// could not take at all (not finite, beyond 32 bits) as the last position read.
std::string formatPosition(double value, std::int32_t fallback) {
    const std::optional<std::int32_t> whole = toInt32(value);
    if (!whole) {
        return FormatNumber(static_cast<std::int64_t>(fallback));
    }
    const std::string asFloat = FormatNumber(value);
    if (readNumber(asFloat) == whole) {
        return asFloat;
    }
    return FormatNumber(static_cast<std::int64_t>(*whole));
}

}  // namespace

std::string FormatSettings(const Settings& settings, WindowPosition window) {
    const auto boolean = [](bool value) { return std::string(value ? "True" : "False"); };
    const auto position = [](double value, std::int32_t fallback) {
        return formatPosition(value, fallback);
    };
    const std::string lines[kSettingsLineCount] = {
        storablePath(settings.databasePath) ? settings.databasePath : std::string(kNoDatabase),
        boolean(settings.alwaysOnTop),
        boolean(settings.continuousPlay),
        boolean(settings.showTrackElapsed),
        boolean(settings.showTrackRemaining),
        boolean(settings.trackListShown),
        boolean(settings.barMode),
        boolean(settings.inTray),
        position(window.left, settings.windowLeft),
        position(window.top, settings.windowTop),
        FormatNumber(static_cast<std::int64_t>(settings.seekStep)),
        FormatNumber(static_cast<std::int64_t>(settings.volumeLevel)),
        boolean(settings.showRating),
        boolean(settings.showTotalElapsed),
        boolean(settings.showTotalRemaining),
    };
    std::string text;
    for (const std::string& line : lines) {
        text += line;
        text += kLineEnd;
    }
    return text;
}

ParsedSettings ParseSettings(std::string_view text, WindowPosition centred) {
    if (text.substr(0, kUtf8Mark.size()) == kUtf8Mark) {
        text.remove_prefix(kUtf8Mark.size());
    }
    const std::vector<std::string_view> lines = splitLines(text, kSettingsLineCount);
    const Settings defaults = defaultSettings(centred);
    ParsedSettings parsed{defaults, {}};
    Settings& s = parsed.settings;

    const auto lineText = [&lines](int line) -> std::optional<std::string_view> {
        if (line > static_cast<int>(lines.size())) {
            return std::nullopt;
        }
        return lines[static_cast<std::size_t>(line - 1)];
    };
    const auto readLine = [&](int line, auto& field, auto reader) {
        const auto raw = lineText(line);
        const auto value = raw ? reader(*raw) : std::nullopt;
        if (value) {
            field = *value;
        } else {
            parsed.replacedLines.push_back(line);
        }
    };
    const auto readPath = [](std::string_view line) -> std::optional<std::string> {
        const std::string_view trimmed = trimBlanks(line);
        if (!storablePath(trimmed)) {
            return std::nullopt;
        }
        return std::string(trimmed);
    };

    readLine(1, s.databasePath, readPath);
    readLine(2, s.alwaysOnTop, readBoolean);
    readLine(3, s.continuousPlay, readBoolean);
    readLine(4, s.showTrackElapsed, readBoolean);
    readLine(5, s.showTrackRemaining, readBoolean);
    readLine(6, s.trackListShown, readBoolean);
    readLine(7, s.barMode, readBoolean);
    readLine(8, s.inTray, readBoolean);
    readLine(9, s.windowLeft, readNumber);
    readLine(10, s.windowTop, readNumber);
    readLine(11, s.seekStep, readNumber);
    readLine(12, s.volumeLevel, readNumber);
    readLine(13, s.showRating, readBoolean);
    readLine(14, s.showTotalElapsed, readBoolean);
    readLine(15, s.showTotalRemaining, readBoolean);

    // The four time display flags are kept as stored, even when not exactly one is on: the
    // time display shows nothing with none and the last of several, and a click moves on
    // from the first.
    return parsed;
}

std::int32_t StartupVolume(std::int32_t stored) {
    return stored >= 1 && stored <= kFullVolume ? stored : kDefaultVolume;
}

std::string SettingsFilePath(const std::string& folder) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + kSettingsFileName;
    }
    return folder + "/" + kSettingsFileName;
}

LoadedSettings LoadSettings(const std::string& folder, WindowPosition centred) {
    PosixFileOps files;
    return LoadSettings(folder, centred, files);
}

LoadedSettings LoadSettings(const std::string& folder, WindowPosition centred, FileOps& files) {
    LoadedSettings loaded;
    const std::string path = SettingsFilePath(folder);
    std::string text;

    FileBytes read = ReadOwnFile(path, kMaxFileBytes, files);
    if (read.missing) {
        text = FormatSettings(defaultSettings(centred), centred);
        const Result<std::string> saved =
            SaveSettings(folder, defaultSettings(centred), centred, files);
        if (saved.ok()) {
            loaded.createdDefaultFile = true;
        } else {
            loaded.error = saved.error();
        }
    } else if (read.error.empty()) {
        text = std::move(read.bytes);
    } else {
        loaded.error = read.error + " The settings are kept in memory for this run only.";
    }

    ParsedSettings parsed = ParseSettings(text, centred);
    loaded.settings = parsed.settings;
    loaded.replacedLines = std::move(parsed.replacedLines);
    const std::int32_t volume = StartupVolume(loaded.settings.volumeLevel);
    if (volume != loaded.settings.volumeLevel) {
        loaded.settings.volumeLevel = volume;
        if (std::find(loaded.replacedLines.begin(), loaded.replacedLines.end(), 12) ==
            loaded.replacedLines.end()) {
            loaded.replacedLines.push_back(12);
            std::sort(loaded.replacedLines.begin(), loaded.replacedLines.end());
        }
    }
    return loaded;
}

Result<std::string> SaveSettings(const std::string& folder, const Settings& settings,
                                 WindowPosition window) {
    PosixFileOps files;
    return SaveSettings(folder, settings, window, files);
}

Result<std::string> SaveSettings(const std::string& folder, const Settings& settings,
                                 WindowPosition window, FileOps& files) {
    // A new file is readable by all, as configuration files usually are.
    constexpr unsigned kNewFileMode = 0644;
    const std::string path = SettingsFilePath(folder);
    if (const auto usable = OwnFileBehind(path, files.userId()); !usable.ok()) {
        return Result<std::string>::failure("The settings were not saved: " + usable.error());
    }
    return WriteOwnFile(path, FormatSettings(settings, window), kNewFileMode, files);
}

std::string ChooseSettingsFolder(const SettingsLocation& location,
                                 const std::function<bool(const std::string&)>& isWritable) {
    if (location.settingsDirOption && !location.settingsDirOption->empty()) {
        return *location.settingsDirOption;
    }
    if (!location.programDir.empty() && isWritable(location.programDir)) {
        return location.programDir;
    }
    // Only an absolute $XDG_CONFIG_HOME counts; a relative or empty one means ~/.config.
    const std::string configHome =
        !location.xdgConfigHome.empty() && location.xdgConfigHome.front() == '/'
            ? location.xdgConfigHome
            : location.home + "/.config";
    return configHome + "/qvplayer";
}

bool IsWritableFolder(const std::string& folder) {
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           ::access(folder.c_str(), W_OK | X_OK) == 0;
}

namespace {

// The folder of the running program by its bytes; Qt's own answer only when /proc is missing.
std::string programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error && program.is_absolute()) {
        return program.parent_path().string();
    }
    return QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString();
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

// Folder names are handled as bytes throughout: a name that is not UTF-8 must not come back
// with its odd bytes replaced, which would make a second folder of another name.
std::string SettingsFolder(const std::optional<std::string>& settingsDirOption) {
    SettingsLocation location;
    if (settingsDirOption && !settingsDirOption->empty()) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(*settingsDirOption, error);
        location.settingsDirOption = error ? *settingsDirOption : absolute.string();
    }
    // An installed player never writes beside itself, not even where it could (root and
    // /usr/bin): only a build tree or a portable copy keeps player.dat there.
    if (const std::string programDir = programFolder(); !InstalledDataFolder(programDir)) {
        location.programDir = programDir;
    }
    location.xdgConfigHome = environment("XDG_CONFIG_HOME");
    location.home = environment("HOME");
    if (location.home.empty()) {
        location.home = QFile::encodeName(QDir::homePath()).toStdString();
    }

    const std::string folder = ChooseSettingsFolder(location, IsWritableFolder);
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

}  // namespace sonarch
