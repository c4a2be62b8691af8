// qvlib: makes and fills track libraries for the player, and shows what they hold.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "device/cd_audio_device.h"
#include "device/clock.h"
#include "device/device_layer.h"
#include "device/disc_key.h"
#include "device/drive_factory.h"
#include "library/stored_text.h"
#include "library/track_number.h"
#include "qvlib/library_file.h"
#include "qvlib/track_sheet.h"

namespace sonarch {

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

const char* const kUsage =
    "usage: qvlib create FILE\n"
    "       qvlib add FILE --drive demo|virtual:LEN,...|PATH --tracks SHEET\n"
    "                 [--album NAME] [--cover PICTURE] [--album-comment TEXT] [--replace]\n"
    "       qvlib show FILE [--key KEY]\n"
    "       qvlib key --drive demo|virtual:LEN,...|PATH\n"
    "\n"
    "create  makes a new, empty library (table Audio, indexed by disc key and track).\n"
    "add     adds one row per track of the disc in the drive, found by the key the\n"
    "        player looks up. SHEET has one line per track:\n"
    "        title<TAB>artist[<TAB>rating 0-10[<TAB>track comment]]\n"
    "show    lists the rows, tab-separated, of every disc or of one disc key.\n"
    "key     prints the disc's key as libraries store it (its first 250 characters).\n";

struct DiscInfo {
    std::string key;
    std::vector<std::string> trackTimes;  // mm:ss
};

// Reads the disc the way the player does: the key from the table of contents, the track
// lengths from "status cd length track N" in tmsf.
Result<DiscInfo> readDisc(const std::string& driveSpec) {
    using R = Result<DiscInfo>;
    auto drive = openDrive(driveSpec);
    if (!drive.ok()) {
        return R::failure(drive.error());
    }
    // A physical drive looks at its disc on a thread of its own: wait for that look.
    drive.value()->waitUntilSettled();
    ManualClock clock;  // nothing is played, so no time needs to pass
    CdAudioDevice device(*drive.value(), std::make_unique<NullOutput>(clock));
    MessageRecorder messages;
    DeviceError error;
    DeviceLayer layer(device, messages, error);
    layer.DeviceQuery("open cdaudio alias cd wait shareable");
    layer.DeviceQuery("set cd time format tmsf");
    auto key = ComputeDiscKey(layer, {});
    if (!key.ok()) {
        return R::failure("drive '" + driveSpec + "': " + key.error());
    }
    ReplyBuffer reply(255);
    if (layer.DeviceQuery("status cd number of tracks", reply) != 0) {
        return R::failure("drive '" + driveSpec + "': the number of tracks could not be read.");
    }
    const auto count = reply.number(1, 2);
    if (!count || *count < 1) {
        return R::failure("drive '" + driveSpec + "': the disc has no tracks.");
    }
    DiscInfo disc{StoredDiscKey(key.value()), {}};
    for (int track = 1; track <= *count; ++track) {
        if (layer.DeviceQuery("status cd length track " + std::to_string(track), reply) != 0) {
            return R::failure("drive '" + driveSpec + "': the length of track " +
                              std::to_string(track) + " could not be read.");
        }
        disc.trackTimes.push_back(reply.text().substr(0, 5));
    }
    layer.DeviceQuery("close all");
    return R::success(std::move(disc));
}

Result<std::string> readTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in || std::filesystem::is_directory(path)) {
        return Result<std::string>::failure("cannot read \"" + path + "\".");
    }
    std::ostringstream text;
    text << in.rdbuf();
    std::string content = text.str();
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) {
        content.erase(0, 3);
    }
    return Result<std::string>::success(std::move(content));
}

// Tabs, line ends and backslashes written so that one row stays one line.
std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// Options of the form --name VALUE (or a bare --flag), after the command's one file.
struct Arguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
    std::string error;
};

Arguments parseArguments(int argc, char** argv, const std::vector<std::string>& valued,
                         const std::vector<std::string>& flags) {
    Arguments args;
    auto known = [](const std::vector<std::string>& names, const std::string& name) {
        for (const auto& n : names) {
            if (n == name) {
                return true;
            }
        }
        return false;
    };
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (known(valued, arg)) {
            if (i + 1 >= argc) {
                args.error = arg + " needs a value";
                return args;
            }
            if (args.options.count(arg)) {
                args.error = arg + " is given twice";
                return args;
            }
            args.options[arg] = argv[++i];
        } else if (known(flags, arg)) {
            args.options[arg] = "";
        } else if (arg.rfind("--", 0) == 0) {
            args.error = "unknown option '" + arg + "'";
            return args;
        } else {
            args.positional.push_back(arg);
        }
    }
    return args;
}

int usageError(const std::string& message) {
    std::cerr << "qvlib: " << message << " (see qvlib --help)\n";
    return kUsageError;
}

int fail(const std::string& message) {
    std::cerr << "qvlib: " << message << "\n";
    return kFailure;
}

int create(const Arguments& args) {
    if (args.positional.size() != 1 || !args.options.empty()) {
        return usageError("create takes one FILE and no options");
    }
    auto made = CreateLibraryFile(args.positional[0]);
    if (!made.ok()) {
        return fail(made.error());
    }
    std::cout << "created library " << args.positional[0] << "\n";
    return 0;
}

int add(const Arguments& args) {
    if (args.positional.size() != 1) {
        return usageError("add takes one FILE");
    }
    if (!args.options.count("--drive") || !args.options.count("--tracks")) {
        return usageError("add needs --drive and --tracks");
    }
    const std::string& path = args.positional[0];
    auto sheetText = readTextFile(args.options.at("--tracks"));
    if (!sheetText.ok()) {
        return fail(sheetText.error());
    }
    auto sheet = ParseTrackSheet(sheetText.value());
    if (!sheet.ok()) {
        return fail("\"" + args.options.at("--tracks") + "\", " + sheet.error());
    }
    std::string album, cover, albumComment;
    if (args.options.count("--album")) {
        album = args.options.at("--album");
    }
    if (args.options.count("--album-comment")) {
        albumComment = FirstCharacters(args.options.at("--album-comment"), kStoredCommentLength);
    }
    if (!IsUtf8(album) || !IsUtf8(albumComment)) {
        return fail("the album name and comment must be UTF-8 text.");
    }
    if (args.options.count("--cover")) {
        const std::filesystem::path picture = args.options.at("--cover");
        std::error_code error;
        if (!std::filesystem::is_regular_file(picture, error)) {
            return fail("the cover picture \"" + picture.string() + "\" is not a file.");
        }
        // The player reads the path from any working directory.
        cover = std::filesystem::absolute(picture, error).lexically_normal().string();
    }
    auto disc = readDisc(args.options.at("--drive"));
    if (!disc.ok()) {
        return fail(disc.error());
    }
    const auto& times = disc.value().trackTimes;
    if (sheet.value().size() != times.size()) {
        return fail("the disc has " + std::to_string(times.size()) + " tracks but \"" +
                    args.options.at("--tracks") + "\" lists " +
                    std::to_string(sheet.value().size()) + "; give one line per track.");
    }
    std::vector<LibraryRow> rows;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const SheetTrack& track = sheet.value()[i];
        LibraryRow row;
        row.cddbToc = disc.value().key;
        row.trkNum = FormatTrackNumber(int(i + 1));
        row.trkTime = times[i];
        row.trkTitle = track.title;
        row.trkArtist = track.artist;
        row.album = album;
        row.rating = track.rating;
        row.cover = cover;
        row.aCom = albumComment;
        row.trkCom = FirstCharacters(track.comment, kStoredCommentLength);
        rows.push_back(std::move(row));
    }
    auto added = AddDiscRows(path, rows, args.options.count("--replace") > 0);
    if (!added.ok()) {
        return fail(added.error());
    }
    std::cout << "added " << rows.size() << " tracks of disc " << disc.value().key << " to " << path
              << "\n";
    return 0;
}

int show(const Arguments& args) {
    if (args.positional.size() != 1) {
        return usageError("show takes one FILE");
    }
    const std::string* key = args.options.count("--key") ? &args.options.at("--key") : nullptr;
    auto rows = ListRows(args.positional[0], key);
    if (!rows.ok()) {
        return fail(rows.error());
    }
    std::cout
        << "cddbToc\ttrkNum\ttrkTime\ttrkTitle\ttrkArtist\tAlbum\tRating\tCover\taCom\ttrkCom\n";
    for (const LibraryRow& row : rows.value()) {
        std::cout << escaped(row.cddbToc) << '\t' << escaped(row.trkNum) << '\t'
                  << escaped(row.trkTime) << '\t' << escaped(row.trkTitle) << '\t'
                  << escaped(row.trkArtist) << '\t' << escaped(row.album) << '\t' << row.rating
                  << '\t' << escaped(row.cover) << '\t' << escaped(row.aCom) << '\t'
                  << escaped(row.trkCom) << '\n';
    }
    return 0;
}

int key(const Arguments& args) {
    if (!args.positional.empty() || !args.options.count("--drive")) {
        return usageError("key needs --drive and no FILE");
    }
    auto disc = readDisc(args.options.at("--drive"));
    if (!disc.ok()) {
        return fail(disc.error());
    }
    std::cout << disc.value().key << "\n";
    return 0;
}

}  // namespace

}  // namespace sonarch

int main(int argc, char** argv) {
    using namespace sonarch;
    if (argc < 2) {
        std::cerr << kUsage;
        return kUsageError;
    }
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    struct Command {
        std::vector<std::string> valued;
        std::vector<std::string> flags;
        int (*run)(const Arguments&);
    };
    const std::map<std::string, Command> commands = {
        {"create", {{}, {}, create}},
        {"add",
         {{"--drive", "--tracks", "--album", "--cover", "--album-comment"}, {"--replace"}, add}},
        {"show", {{"--key"}, {}, show}},
        {"key", {{"--drive"}, {}, key}},
    };
    const auto found = commands.find(command);
    if (found == commands.end()) {
        return usageError("unknown command '" + command + "'");
    }
    const Arguments args = parseArguments(argc, argv, found->second.valued, found->second.flags);
    if (!args.error.empty()) {
        return usageError(args.error);
    }
    return found->second.run(args);
}
