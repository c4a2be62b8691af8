// qvlib: makes and fills track libraries for the player, and shows what they hold.
#include <QCoreApplication>

#include <sys/stat.h>
#include <unistd.h>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "audio/paced_output.h"
#include "base/messages.h"
#include "base/number_text.h"
#include "device/drives/drive_factory.h"
#include "device/drives/printable_text.h"
#include "device/engine/clock.h"
#include "device/mci/cd_audio_device.h"
#include "device/mci/device_layer.h"
#include "device/mci/disc_key.h"
#include "device/mci/msf.h"
#include "library/jet/jet_import.h"
#include "library/stored_text.h"
#include "library/track_number.h"
#include "qvlib/library_file.h"
#include "qvlib/musicbrainz_disc.h"
#include "qvlib/online_lookup.h"
#include "qvlib/stored_name.h"
#include "qvlib/track_sheet.h"

namespace sonarch {

namespace {

constexpr int kUsageError = 2;
constexpr int kFailure = 1;

const char* const kUsage =
    "usage: qvlib create FILE\n"
    "       qvlib add FILE --drive DRIVE [--tracks SHEET] [--cdtext | --musicbrainz\n"
    "                 [--release MBID|N]] [--album NAME] [--cover PICTURE |\n"
    "                 --cover-path PATH] [--album-comment TEXT] [--replace] [ONLINE]\n"
    "       qvlib lookup --drive DRIVE [ONLINE]\n"
    "       qvlib show FILE [--key KEY]\n"
    "       qvlib key --drive DRIVE [--musicbrainz]\n"
    "       qvlib import OLD NEW [--cover-folder DIR]\n"
    "       qvlib --help\n"
    "\n"
    "DRIVE is demo, virtual:LEN,..., a CD drive such as /dev/sr0 or a disc image.\n"
    "ONLINE is [--server URL] [--cover-server URL] [--timeout SECONDS].\n"
    "\n"
    "create  makes a new, empty library (table Audio, indexed by disc key and track).\n"
    "add     adds one row per track of the disc in the drive, found by the key the\n"
    "        player looks up. The names come from SHEET, one line per track:\n"
    "        title<TAB>artist[<TAB>rating 0-10[<TAB>track comment]]\n"
    "        or from the disc's CD-TEXT (--cdtext), or from MusicBrainz (--musicbrainz,\n"
    "        with the release's front cover saved in covers/ beside FILE); a SHEET given\n"
    "        as well wins line by line. --cover-path stores the absolute PATH of a cover\n"
    "        that is put in place later (a library to be installed) without reading it.\n"
    "lookup  lists the MusicBrainz releases of the disc in the drive.\n"
    "show    lists the rows, tab-separated, of every disc or of one disc key.\n"
    "key     prints the disc's key as libraries store it (its first 250 characters),\n"
    "        or with --musicbrainz its MusicBrainz disc ID.\n"
    "import  makes the new library NEW from OLD, a library in the old Access (Jet)\n"
    "        format, with all its rows; OLD is only read. Cover paths from Windows\n"
    "        (C:\\Covers\\x.jpg) become the picture of that name in DIR, when it is there.\n"
    "\n"
    "MusicBrainz is asked at most once a second; --server (or QVLIB_MUSICBRAINZ_SERVER)\n"
    "names a mirror, --cover-server (or QVLIB_COVERART_SERVER) one of the Cover Art\n"
    "Archive; --timeout gives up on a request after SECONDS (default 20).\n";

// How long a disc just put in may take to get ready: drives spin up and read the disc's
// lead-in in a few seconds, and try a hard-to-read disc for longer.
constexpr std::chrono::seconds kReadyPatience{30};

struct DiscInfo {
    std::string key;
    std::vector<std::string> trackTimes;  // mm:ss
    DiscToc toc;
    DiscText text;
};

// Reads the disc the way the player does: the key from the table of contents, the track
// lengths from "status cd length track N" in tmsf.
Result<DiscInfo> readDisc(const std::string& driveSpec) {
    using R = Result<DiscInfo>;
    auto drive = openDrive(driveSpec);
    if (!drive.ok()) {
        return R::failure(drive.error());
    }
    // A physical drive looks at its disc on a thread of its own: wait for that look, and
    // while it spins a disc just put in up, for the disc.
    drive.value()->waitUntilSettled();
    if (drive.value()->becomingReady()) {
        std::cerr << "qvlib: the disc in drive '" << driveSpec
                  << "' is getting ready; waiting up to " << kReadyPatience.count() << " seconds\n";
        if (!drive.value()->waitUntilReady(kReadyPatience)) {
            return R::failure("drive '" + driveSpec + "': the disc did not get ready within " +
                              std::to_string(kReadyPatience.count()) + " seconds.");
        }
    }
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
    DiscInfo disc{StoredDiscKey(key.value()),
                  {},
                  drive.value()->readToc().value_or(DiscToc{}),
                  device.discText()};
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

// Where the tracks' names come from before a track sheet has its say.
enum class NameSource { Sheet, CdText, MusicBrainz };

struct OnlineSettings {
    QUrl musicBrainz;
    QUrl coverArt;
    std::chrono::seconds timeout{20};
};

// A server named on the command line, else in the environment, else the service itself.
Result<QUrl> serverUrl(const Arguments& args, const char* option, const char* variable,
                       const char* fallback) {
    std::string text = fallback;
    if (args.options.count(option)) {
        text = args.options.at(option);
    } else if (const char* set = std::getenv(variable); set && *set) {
        text = set;
    }
    const QUrl url(QString::fromStdString(text), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != "http" && url.scheme() != "https")) {
        return Result<QUrl>::failure(std::string(option) + " (or " + variable + ") '" + text +
                                     "' is not an http:// or https:// address");
    }
    return Result<QUrl>::success(url);
}

Result<OnlineSettings> onlineSettings(const Arguments& args) {
    using R = Result<OnlineSettings>;
    OnlineSettings settings;
    auto musicBrainz =
        serverUrl(args, "--server", "QVLIB_MUSICBRAINZ_SERVER", "https://musicbrainz.org");
    auto coverArt =
        serverUrl(args, "--cover-server", "QVLIB_COVERART_SERVER", "https://coverartarchive.org");
    if (!musicBrainz.ok() || !coverArt.ok()) {
        return R::failure(!musicBrainz.ok() ? musicBrainz.error() : coverArt.error());
    }
    settings.musicBrainz = musicBrainz.value();
    settings.coverArt = coverArt.value();
    if (args.options.count("--timeout")) {
        const auto seconds = parseInteger(args.options.at("--timeout"));
        if (!seconds || *seconds < 1 || *seconds > 600) {
            return R::failure("--timeout takes a whole number of seconds from 1 to 600");
        }
        settings.timeout = std::chrono::seconds(*seconds);
    }
    return R::success(settings);
}

bool hasOnlineOptions(const Arguments& args) {
    return args.options.count("--server") || args.options.count("--cover-server") ||
           args.options.count("--timeout");
}

// Qt's network classes need an application object; only the online commands make one.
class OnlineSession {
public:
    explicit OnlineSession(const OnlineSettings& settings)
        : m_app(m_argc, m_argv), m_web(settings.timeout, std::chrono::seconds(1)) {}
    WebClient& web() { return m_web; }

private:
    int m_argc = 1;
    char m_name[6] = "qvlib";
    char* m_argv[2] = {m_name, nullptr};
    QCoreApplication m_app;
    WebClient m_web;
};

Result<MusicBrainzDisc> musicBrainzDisc(const DiscInfo& disc, const std::string& driveSpec) {
    auto found = MusicBrainzDiscOf(disc.toc);
    if (!found.ok()) {
        return Result<MusicBrainzDisc>::failure("drive '" + driveSpec + "': " + found.error());
    }
    return found;
}

void printReleases(const std::vector<Release>& releases) {
    std::cout << "N\tRelease\tArtist\tTitle\tDate\tCountry\tTracks\n";
    for (std::size_t i = 0; i < releases.size(); ++i) {
        const Release& r = releases[i];
        std::cout << i + 1 << '\t' << r.id << '\t' << escaped(r.artist) << '\t' << escaped(r.title)
                  << '\t' << escaped(r.date) << '\t' << escaped(r.country) << '\t'
                  << r.tracks.size() << '\n';
    }
}

std::string noRelease(const MusicBrainzDisc& disc) {
    return "MusicBrainz knows no release of this disc (disc ID " + disc.id + ").";
}

// The release named by --release (its MBID or its number in the list), or the only one.
Result<Release> chosenRelease(const std::vector<Release>& releases, const Arguments& args,
                              const MusicBrainzDisc& disc) {
    using R = Result<Release>;
    if (releases.empty()) {
        return R::failure(noRelease(disc));
    }
    if (!args.options.count("--release")) {
        if (releases.size() == 1) {
            return R::success(releases.front());
        }
        printReleases(releases);
        return R::failure(std::to_string(releases.size()) +
                          " releases hold this disc; choose one with --release MBID or its "
                          "number N, and add again.");
    }
    const std::string& wanted = args.options.at("--release");
    const auto number = parseInteger(wanted);
    for (std::size_t i = 0; i < releases.size(); ++i) {
        if (releases[i].id == wanted || (number && *number == std::int64_t(i + 1))) {
            return R::success(releases[i]);
        }
    }
    printReleases(releases);
    return R::failure("--release " + wanted + " is none of the " + std::to_string(releases.size()) +
                      " releases that hold this disc.");
}

SheetTrack defaultTrack(std::size_t index) {
    return {"Track " + FormatTrackNumber(int(index + 1)), "Unknown", 0, {}};
}

// The tracks as the disc's CD-TEXT names them; what it lacks is named as the player names
// a disc it does not know.
std::vector<SheetTrack> cdTextTracks(const DiscText& text, std::size_t count) {
    std::vector<SheetTrack> tracks;
    for (std::size_t i = 0; i < count; ++i) {
        SheetTrack track = defaultTrack(i);
        const TrackText one = i < text.tracks.size() ? text.tracks[i] : TrackText{};
        if (!one.title.empty()) {
            track.title = StoredName(one.title);
        }
        const std::string& performer = one.performer.empty() ? text.performer : one.performer;
        if (!performer.empty()) {
            track.artist = StoredName(performer);
        }
        tracks.push_back(std::move(track));
    }
    return tracks;
}

// The release's tracks laid on the disc's audio tracks in order; data tracks keep the
// player's names.
Result<std::vector<SheetTrack>> releaseTracks(const Release& release, const DiscToc& toc,
                                              std::size_t count) {
    using R = Result<std::vector<SheetTrack>>;
    std::vector<SheetTrack> tracks;
    std::size_t next = 0;
    for (std::size_t i = 0; i < count; ++i) {
        SheetTrack track = defaultTrack(i);
        const bool audio = i >= toc.tracks.size() || toc.tracks[i].audio;
        if (audio && next < release.tracks.size()) {
            track.title =
                release.tracks[next].title.empty() ? track.title : release.tracks[next].title;
            track.artist =
                release.tracks[next].artist.empty() ? track.artist : release.tracks[next].artist;
        }
        next += audio ? 1 : 0;
        tracks.push_back(std::move(track));
    }
    if (next != release.tracks.size()) {
        return R::failure(
            "the release " + release.id + " has " + std::to_string(release.tracks.size()) +
            " tracks on this disc but the disc has " + std::to_string(next) + " audio tracks.");
    }
    return R::success(std::move(tracks));
}

// A cover file written in full under a scratch name and renamed into place, so no reader
// ever sees half a picture. Removes what it made unless kept.
class SavedCover {
public:
    ~SavedCover() {
        if (m_made && !m_kept) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }
    Result<std::string> save(const std::string& library, const Release& release,
                             const CoverPicture& picture) {
        using R = Result<std::string>;
        namespace fs = std::filesystem;
        std::error_code error;
        const fs::path folder =
            fs::absolute(library, error).lexically_normal().parent_path() / "covers";
        fs::create_directories(folder, error);
        if (error) {
            return R::failure("cannot make the covers folder \"" + folder.string() +
                              "\": " + error.message() + ".");
        }
        // The release ID, checked to be hexadecimal digits and hyphens, names the file.
        m_path = folder / (release.id + "." + picture.extension);
        m_made = !fs::exists(m_path, error);
        std::string scratch = (folder / ("." + release.id + ".XXXXXX")).string();
        const int fd = mkstemp(scratch.data());
        if (fd < 0) {
            m_made = false;
            return R::failure("cannot write a cover into \"" + folder.string() + "\".");
        }
        const auto size = std::size_t(picture.bytes.size());
        const bool written = ::write(fd, picture.bytes.constData(), size) == ssize_t(size) &&
                             ::fchmod(fd, 0644) == 0;
        ::close(fd);
        if (written) {
            fs::rename(scratch, m_path, error);
        }
        if (!written || error) {
            fs::remove(scratch, error);
            m_made = false;
            return R::failure("cannot write the cover \"" + m_path.string() + "\".");
        }
        return R::success(m_path.string());
    }
    void keep() { m_kept = true; }

private:
    std::filesystem::path m_path;
    bool m_made = false;
    bool m_kept = false;
};

// add FILE --drive DRIVE ...: the names from the chosen source, a sheet's lines over them.
int add(const Arguments& args) {
    if (args.positional.size() != 1) {
        return usageError("add takes one FILE");
    }
    const bool cdText = args.options.count("--cdtext") > 0;
    const bool musicBrainz = args.options.count("--musicbrainz") > 0;
    const bool haveSheet = args.options.count("--tracks") > 0;
    if (!args.options.count("--drive") || (!haveSheet && !cdText && !musicBrainz)) {
        return usageError("add needs --drive and --tracks, --cdtext or --musicbrainz");
    }
    if (cdText && musicBrainz) {
        return usageError("add takes the names from --cdtext or from --musicbrainz, not both");
    }
    if (!musicBrainz && (args.options.count("--release") || hasOnlineOptions(args))) {
        return usageError(
            "--release, --server, --cover-server and --timeout go with --musicbrainz");
    }
    const NameSource source = cdText        ? NameSource::CdText
                              : musicBrainz ? NameSource::MusicBrainz
                                            : NameSource::Sheet;
    const std::string& path = args.positional[0];
    std::vector<SheetTrack> sheet;
    if (haveSheet) {
        auto sheetText = readTextFile(args.options.at("--tracks"));
        if (!sheetText.ok()) {
            return fail(sheetText.error());
        }
        auto parsed = ParseTrackSheet(sheetText.value());
        if (!parsed.ok()) {
            return fail("\"" + args.options.at("--tracks") + "\", " + parsed.error());
        }
        sheet = std::move(parsed.value());
    }
    std::optional<std::string> album;
    std::string cover, albumComment;
    if (args.options.count("--album")) {
        album = args.options.at("--album");
    }
    if (args.options.count("--album-comment")) {
        albumComment = FirstCharacters(args.options.at("--album-comment"), kStoredCommentLength);
    }
    if (!IsWellFormedUtf8(album.value_or("")) || !IsWellFormedUtf8(albumComment)) {
        return fail("the album name and comment must be UTF-8 text.");
    }
    if (args.options.count("--cover") && args.options.count("--cover-path")) {
        return usageError("give the cover with --cover or with --cover-path, not both");
    }
    if (args.options.count("--cover-path")) {
        const std::filesystem::path picture = args.options.at("--cover-path");
        if (!picture.is_absolute()) {
            return usageError("--cover-path takes an absolute path");
        }
        cover = picture.lexically_normal().string();
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
    std::optional<OnlineSettings> online;
    if (source == NameSource::MusicBrainz) {
        auto settings = onlineSettings(args);
        if (!settings.ok()) {
            return usageError(settings.error());
        }
        online = settings.value();
    }
    const std::string& driveSpec = args.options.at("--drive");
    auto disc = readDisc(driveSpec);
    if (!disc.ok()) {
        return fail(disc.error());
    }
    const auto& times = disc.value().trackTimes;
    const std::string sheetName = haveSheet ? "\"" + args.options.at("--tracks") + "\"" : "";
    if (source == NameSource::Sheet ? sheet.size() != times.size() : sheet.size() > times.size()) {
        return fail("the disc has " + std::to_string(times.size()) + " tracks but " + sheetName +
                    " lists " + std::to_string(sheet.size()) + "; give one line per track.");
    }

    std::vector<SheetTrack> tracks = sheet;
    SavedCover savedCover;
    if (source == NameSource::CdText) {
        const DiscText& text = disc.value().text;
        if (text.empty() && sheet.size() < times.size()) {
            return fail("the disc in drive '" + driveSpec + "' carries no CD-TEXT.");
        }
        tracks = cdTextTracks(text, times.size());
        if (!album) {
            album = text.title.empty() ? "Unknown" : StoredName(text.title);
        }
    } else if (source == NameSource::MusicBrainz) {
        auto id = musicBrainzDisc(disc.value(), driveSpec);
        if (!id.ok()) {
            return fail(id.error());
        }
        OnlineSession session(*online);
        auto releases = LookupReleases(session.web(), online->musicBrainz, id.value());
        if (!releases.ok()) {
            return fail(releases.error());
        }
        auto release = chosenRelease(releases.value(), args, id.value());
        if (!release.ok()) {
            return fail(release.error());
        }
        auto named = releaseTracks(release.value(), disc.value().toc, times.size());
        if (!named.ok()) {
            return fail(named.error());
        }
        tracks = std::move(named.value());
        if (!album) {
            album = release.value().title;
        }
        if (cover.empty() && release.value().hasFrontCover) {
            auto picture = FetchFrontCover(session.web(), online->coverArt, release.value().id);
            if (!picture.ok()) {
                return fail(picture.error());
            }
            if (!picture.value()) {
                std::cerr << "qvlib: the Cover Art Archive has no front cover of release "
                          << release.value().id << "; the disc is added without one.\n";
            } else {
                auto saved = savedCover.save(path, release.value(), *picture.value());
                if (!saved.ok()) {
                    return fail(saved.error());
                }
                cover = saved.value();
            }
        }
    }
    for (std::size_t i = 0; i < sheet.size(); ++i) {
        tracks[i] = sheet[i];
    }

    std::vector<LibraryRow> rows;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const SheetTrack& track = tracks[i];
        LibraryRow row;
        row.cddbToc = disc.value().key;
        row.trkNum = FormatTrackNumber(int(i + 1));
        row.trkTime = times[i];
        row.trkTitle = track.title;
        row.trkArtist = track.artist;
        row.album = album.value_or("");
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
    savedCover.keep();
    std::cout << "added " << rows.size() << " tracks of disc " << disc.value().key << " to " << path
              << "\n";
    return 0;
}

int lookup(const Arguments& args) {
    if (!args.positional.empty() || !args.options.count("--drive")) {
        return usageError("lookup needs --drive and no FILE");
    }
    auto settings = onlineSettings(args);
    if (!settings.ok()) {
        return usageError(settings.error());
    }
    const std::string& driveSpec = args.options.at("--drive");
    auto disc = readDisc(driveSpec);
    if (!disc.ok()) {
        return fail(disc.error());
    }
    auto id = musicBrainzDisc(disc.value(), driveSpec);
    if (!id.ok()) {
        return fail(id.error());
    }
    OnlineSession session(settings.value());
    auto releases = LookupReleases(session.web(), settings.value().musicBrainz, id.value());
    if (!releases.ok()) {
        return fail(releases.error());
    }
    if (releases.value().empty()) {
        return fail(noRelease(id.value()));
    }
    printReleases(releases.value());
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
    if (args.options.count("--musicbrainz")) {
        auto id = musicBrainzDisc(disc.value(), args.options.at("--drive"));
        if (!id.ok()) {
            return fail(id.error());
        }
        std::cout << id.value().id << "\n";
        return 0;
    }
    std::cout << disc.value().key << "\n";
    return 0;
}

std::string counted(std::uint64_t count, const std::string& thing) {
    return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

std::string columnList(const std::vector<std::string>& names) {
    if (names.empty()) {
        return "none";
    }
    std::string list;
    for (const std::string& name : names) {
        list += (list.empty() ? "" : ", ") + PrintableText(name);
    }
    return list;
}

// import OLD NEW [--cover-folder DIR]: a library in the old Access format into a new one.
int importOld(const Arguments& args) {
    if (args.positional.size() != 2) {
        return usageError("import takes the OLD library and the NEW one");
    }
    JetImportRequest request{args.positional[0], args.positional[1], {}};
    if (args.options.count("--cover-folder")) {
        request.coverFolder = args.options.at("--cover-folder");
        if (request.coverFolder.empty()) {
            return usageError("--cover-folder needs a folder");
        }
    }
    const auto imported = ImportJetLibrary(request);
    if (!imported.ok()) {
        return fail(imported.error());
    }
    const JetImportSummary& done = imported.value();
    std::cout << "imported " << counted(done.rows, "row") << " of " << counted(done.discs, "disc")
              << " from " << request.oldLibrary << ", a library in "
              << AccessFormatName(done.format) << " format, into " << request.newLibrary << "\n";
    if (done.covers == 0) {
        std::cout << "covers: none named\n";
    } else if (request.coverFolder.empty()) {
        std::cout << "covers: " << counted(done.covers, "path")
                  << " kept as written (--cover-folder DIR finds the pictures in DIR)\n";
    } else {
        std::cout << "covers: " << done.coversFound << " of " << done.covers << " found in "
                  << request.coverFolder << "; the others keep the path they had\n";
    }
    std::cout << "columns left out: " << columnList(done.leftOutColumns) << "\n";
    if (!done.missingColumns.empty()) {
        std::cout << "columns missing, imported empty: " << columnList(done.missingColumns) << "\n";
    }
    if (done.cutTexts > 0) {
        std::cout << "texts too long, kept up to 64 KiB: " << done.cutTexts << "\n";
    }
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
         {{"--drive", "--tracks", "--album", "--cover", "--cover-path", "--album-comment",
           "--release", "--server", "--cover-server", "--timeout"},
          {"--replace", "--cdtext", "--musicbrainz"},
          add}},
        {"lookup", {{"--drive", "--server", "--cover-server", "--timeout"}, {}, lookup}},
        {"show", {{"--key"}, {}, show}},
        {"key", {{"--drive"}, {"--musicbrainz"}, key}},
        {"import", {{"--cover-folder"}, {}, importOld}},
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
