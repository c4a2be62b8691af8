// qvlib: makes and fills track libraries for the player, and shows what they hold. A
// command line over the library's operations (src/library) and the online lookup
// (src/lookup), which the library window shares.
#include <QCoreApplication>
#include <QEventLoop>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/number_text.h"
#include "device/drives/printable_text.h"
#include "base/utf8.h"
#include "library/cover_file.h"
#include "library/disc_entry.h"
#include "library/drive_disc.h"
#include "library/library_file.h"
#include "library/jet/jet_import.h"
#include "library/stored_text.h"
#include "lookup/cover_fetch.h"
#include "lookup/musicbrainz_disc.h"
#include "lookup/online_settings.h"
#include "lookup/release_entry.h"
#include "lookup/release_lookup.h"
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
    "       qvlib remove FILE --key KEY | --drive DRIVE\n"
    "       qvlib lookup --drive DRIVE [ONLINE]\n"
    "       qvlib show FILE [--key KEY]\n"
    "       qvlib check FILE\n"
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
    "remove  removes every row of one disc: the disc with the key KEY, or the disc in\n"
    "        the drive.\n"
    "lookup  lists the MusicBrainz releases of the disc in the drive.\n"
    "show    lists the rows, tab-separated, of every disc or of one disc key.\n"
    "check   reads the whole library for damage and lists what it finds.\n"
    "key     prints the disc's key as libraries store it (its first 250 characters),\n"
    "        or with --musicbrainz its MusicBrainz disc ID.\n"
    "import  makes the new library NEW from OLD, a library in the old Access (Jet)\n"
    "        format, with all its rows; OLD is only read. Cover paths from Windows\n"
    "        (C:\\Covers\\x.jpg) become the picture of that name in DIR, when it is there.\n"
    "\n"
    "Before its first change to a library, qvlib checks the whole file for damage, unless\n"
    "it has checked the file before and nothing has changed it since.\n"
    "\n"
    "MusicBrainz is asked at most once a second; --server (or QVLIB_MUSICBRAINZ_SERVER)\n"
    "names a mirror, --cover-server (or QVLIB_COVERART_SERVER) one of the Cover Art\n"
    "Archive; --timeout gives up on a request after SECONDS (default 20).\n";

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

    bool has(const std::string& option) const { return options.count(option) > 0; }
    std::optional<std::string> value(const std::string& option) const {
        const auto found = options.find(option);
        return found == options.end() ? std::nullopt : std::optional(found->second);
    }
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

// The record of the libraries checked before, in the user's cache folder.
const LibraryCheckRecord* checkRecord() {
    static const std::optional<LibraryCheckRecord> record = [] {
        const auto folder = LibraryCheckRecord::defaultFolder();
        return folder ? std::optional(LibraryCheckRecord(*folder)) : std::nullopt;
    }();
    return record ? &*record : nullptr;
}

Result<LibraryFile> openLibrary(const std::string& path) {
    return LibraryFile::open(path, LibraryLimits::forTools(), checkRecord());
}

int create(const Arguments& args) {
    if (args.positional.size() != 1 || !args.options.empty()) {
        return usageError("create takes one FILE and no options");
    }
    auto made = LibraryFile::create(args.positional[0], LibraryLimits::forTools(), checkRecord());
    if (!made.ok()) {
        return fail(made.error());
    }
    std::cout << "created library " << args.positional[0] << "\n";
    return 0;
}

// Online settings from the command line, else the environment, else the services.
Result<OnlineSettings> onlineSettings(const Arguments& args) {
    using R = Result<OnlineSettings>;
    OnlineSettings settings;
    const auto musicBrainz = ServerAddress(
        args.value("--server"), OnlineSettings::kMusicBrainzVariable, OnlineSettings::kMusicBrainz);
    if (!musicBrainz.ok()) {
        return R::failure(std::string("--server (or ") + OnlineSettings::kMusicBrainzVariable +
                          ") " + musicBrainz.error());
    }
    const auto coverArt = ServerAddress(
        args.value("--cover-server"), OnlineSettings::kCoverArtVariable, OnlineSettings::kCoverArt);
    if (!coverArt.ok()) {
        return R::failure(std::string("--cover-server (or ") + OnlineSettings::kCoverArtVariable +
                          ") " + coverArt.error());
    }
    settings.musicBrainz = musicBrainz.value();
    settings.coverArt = coverArt.value();
    if (const auto timeout = args.value("--timeout")) {
        const auto seconds = parseInteger(*timeout);
        if (!seconds || *seconds < 1 || *seconds > kLongestTimeout) {
            return R::failure("--timeout takes a whole number of seconds from 1 to 600");
        }
        settings.timeout = std::chrono::seconds(*seconds);
    }
    return R::success(settings);
}

bool hasOnlineOptions(const Arguments& args) {
    return args.has("--server") || args.has("--cover-server") || args.has("--timeout");
}

// Qt's network classes need an application object; only the online commands make one.
// The lookup runs on its event loop, which each question here waits out.
class OnlineSession {
public:
    explicit OnlineSession(const OnlineSettings& settings)
        : m_app(m_argc, m_argv), m_settings(settings), m_web(settings.timeout, settings.spacing) {}

    ReleaseLookupResult releases(const MusicBrainzDisc& disc) {
        ReleaseLookup lookup(m_web, m_settings.musicBrainz);
        return waitFor(lookup, &ReleaseLookup::finished, [&] { lookup.start(disc); });
    }
    CoverFetchResult frontCover(const std::string& releaseId) {
        CoverFetch fetch(m_web, m_settings.coverArt);
        return waitFor(fetch, &CoverFetch::finished,
                       [&] { fetch.start(releaseId, CoverSize::Full); });
    }

private:
    template <class Job, class Outcome, class Start>
    Outcome waitFor(Job& job, void (Job::*finished)(const Outcome&), Start start) {
        QEventLoop loop;
        std::optional<Outcome> outcome;
        QObject::connect(&job, finished, &loop, [&](const Outcome& result) {
            outcome = result;
            loop.quit();
        });
        start();
        loop.exec();
        return *outcome;
    }

    int m_argc = 1;
    char m_name[6] = "qvlib";
    char* m_argv[2] = {m_name, nullptr};
    QCoreApplication m_app;
    OnlineSettings m_settings;
    WebClient m_web;
};

Result<MusicBrainzDisc> musicBrainzDisc(const DriveDisc& disc, const std::string& driveSpec) {
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
Result<Release> chosenRelease(const std::vector<Release>& releases,
                              const std::optional<std::string>& wanted,
                              const MusicBrainzDisc& disc) {
    using R = Result<Release>;
    if (releases.empty()) {
        return R::failure(noRelease(disc));
    }
    if (!wanted) {
        if (releases.size() == 1) {
            return R::success(releases.front());
        }
        printReleases(releases);
        return R::failure(std::to_string(releases.size()) +
                          " releases hold this disc; choose one with --release MBID or its "
                          "number N, and add again.");
    }
    const auto number = parseInteger(*wanted);
    for (std::size_t i = 0; i < releases.size(); ++i) {
        if (releases[i].id == *wanted || (number && *number == std::int64_t(i + 1))) {
            return R::success(releases[i]);
        }
    }
    printReleases(releases);
    return R::failure("--release " + *wanted + " is none of the " +
                      std::to_string(releases.size()) + " releases that hold this disc.");
}

// Where `add` takes the tracks' names from before a track sheet has its say.
enum class NameSource { Sheet, CdText, MusicBrainz };

// What `add` was asked for, checked as far as the command line goes.
struct AddRequest {
    std::string library;
    std::string drive;
    NameSource source = NameSource::Sheet;
    std::optional<std::string> sheetName;
    std::vector<SheetTrack> sheet;
    std::optional<std::string> album;
    std::string cover;
    std::string albumComment;
    std::optional<std::string> release;
    std::optional<OnlineSettings> online;
    bool replace = false;
};

// Reads the options of `add`; on a refusal, says why and gives the exit code.
std::optional<int> readAddRequest(const Arguments& args, AddRequest& request) {
    if (args.positional.size() != 1) {
        return usageError("add takes one FILE");
    }
    const bool cdText = args.has("--cdtext");
    const bool musicBrainz = args.has("--musicbrainz");
    request.sheetName = args.value("--tracks");
    if (!args.has("--drive") || (!request.sheetName && !cdText && !musicBrainz)) {
        return usageError("add needs --drive and --tracks, --cdtext or --musicbrainz");
    }
    if (cdText && musicBrainz) {
        return usageError("add takes the names from --cdtext or from --musicbrainz, not both");
    }
    if (!musicBrainz && (args.has("--release") || hasOnlineOptions(args))) {
        return usageError(
            "--release, --server, --cover-server and --timeout go with --musicbrainz");
    }
    request.library = args.positional[0];
    request.drive = *args.value("--drive");
    request.source = cdText        ? NameSource::CdText
                     : musicBrainz ? NameSource::MusicBrainz
                                   : NameSource::Sheet;
    if (request.sheetName) {
        auto text = readTextFile(*request.sheetName);
        if (!text.ok()) {
            return fail(text.error());
        }
        auto parsed = ParseTrackSheet(text.value());
        if (!parsed.ok()) {
            return fail("\"" + *request.sheetName + "\", " + parsed.error());
        }
        request.sheet = std::move(parsed.value());
    }
    request.album = args.value("--album");
    request.albumComment =
        FirstCharacters(args.value("--album-comment").value_or(""), kStoredCommentLength);
    if (!IsWellFormedUtf8(request.album.value_or("")) || !IsWellFormedUtf8(request.albumComment)) {
        return fail("the album name and comment must be UTF-8 text.");
    }
    if (args.has("--cover") && args.has("--cover-path")) {
        return usageError("give the cover with --cover or with --cover-path, not both");
    }
    if (const auto path = args.value("--cover-path")) {
        const std::filesystem::path picture = *path;
        if (!picture.is_absolute()) {
            return usageError("--cover-path takes an absolute path");
        }
        request.cover = picture.lexically_normal().string();
    }
    if (const auto given = args.value("--cover")) {
        const std::filesystem::path picture = *given;
        std::error_code error;
        if (!std::filesystem::is_regular_file(picture, error)) {
            return fail("the cover picture \"" + picture.string() + "\" is not a file.");
        }
        // The player reads the path from any working directory.
        request.cover = std::filesystem::absolute(picture, error).lexically_normal().string();
    }
    if (musicBrainz) {
        auto settings = onlineSettings(args);
        if (!settings.ok()) {
            return usageError(settings.error());
        }
        request.online = settings.value();
    }
    request.release = args.value("--release");
    request.replace = args.has("--replace");
    return std::nullopt;
}

// The names from the disc's CD-TEXT.
Result<DiscEntry> namesFromCdText(const AddRequest& request, const DriveDisc& disc) {
    if (disc.text.empty() && request.sheet.size() < disc.trackTimes.size()) {
        return Result<DiscEntry>::failure("the disc in drive '" + request.drive +
                                          "' carries no CD-TEXT.");
    }
    return Result<DiscEntry>::success(CdTextDiscEntry(disc));
}

// Reads the disc in the drive, saying so while a disc just put in gets ready.
Result<DriveDisc> readDisc(const std::string& driveSpec) {
    return ReadDriveDisc(driveSpec, [&] {
        std::cerr << "qvlib: the disc in drive '" << driveSpec
                  << "' is getting ready; waiting up to " << kDiscReadyPatience.count()
                  << " seconds\n";
    });
}

// The names, and the front cover, of the release that holds the disc. The cover is saved
// beside the library at once and removed again unless kept.
Result<DiscEntry> namesFromMusicBrainz(const AddRequest& request, const DriveDisc& disc,
                                       std::optional<CoverFile>& savedCover) {
    using R = Result<DiscEntry>;
    auto id = musicBrainzDisc(disc, request.drive);
    if (!id.ok()) {
        return R::failure(id.error());
    }
    OnlineSession session(*request.online);
    const ReleaseLookupResult found = session.releases(id.value());
    if (found.failed()) {
        return R::failure(found.error);
    }
    auto release = chosenRelease(found.releases, request.release, id.value());
    if (!release.ok()) {
        return R::failure(release.error());
    }
    auto entry = ReleaseDiscEntry(disc, release.value());
    if (!entry.ok() || !request.cover.empty() || !release.value().hasFrontCover) {
        return entry;
    }
    const CoverFetchResult cover = session.frontCover(release.value().id);
    if (cover.failed()) {
        return R::failure(cover.error);
    }
    if (!cover.picture) {
        std::cerr << "qvlib: the Cover Art Archive has no front cover of release "
                  << release.value().id << "; the disc is added without one.\n";
        return entry;
    }
    const QByteArray& bytes = cover.picture->bytes;
    auto saved = CoverFile::save(request.library, release.value().id,
                                 std::string_view(bytes.constData(), std::size_t(bytes.size())));
    if (!saved.ok()) {
        return R::failure(saved.error());
    }
    savedCover.emplace(std::move(saved.value()));
    entry.value().cover = savedCover->path();
    return entry;
}

// add FILE --drive DRIVE ...: the names from the chosen source, a sheet's lines over them.
int add(const Arguments& args) {
    AddRequest request;
    if (const auto refused = readAddRequest(args, request)) {
        return *refused;
    }
    auto disc = readDisc(request.drive);
    if (!disc.ok()) {
        return fail(disc.error());
    }
    const std::size_t tracks = disc.value().trackTimes.size();
    const bool sheetAlone = request.source == NameSource::Sheet;
    if (sheetAlone ? request.sheet.size() != tracks : request.sheet.size() > tracks) {
        return fail("the disc has " + std::to_string(tracks) + " tracks but \"" +
                    request.sheetName.value_or("") + "\" lists " +
                    std::to_string(request.sheet.size()) + "; give one line per track.");
    }
    std::optional<CoverFile> savedCover;
    Result<DiscEntry> named = Result<DiscEntry>::success(UnnamedDiscEntry(disc.value()));
    switch (request.source) {
        case NameSource::Sheet:
            break;
        case NameSource::CdText:
            named = namesFromCdText(request, disc.value());
            break;
        case NameSource::MusicBrainz:
            named = namesFromMusicBrainz(request, disc.value(), savedCover);
            break;
    }
    if (!named.ok()) {
        return fail(named.error());
    }
    DiscEntry& entry = named.value();
    for (std::size_t i = 0; i < request.sheet.size(); ++i) {
        const SheetTrack& line = request.sheet[i];
        entry.tracks[i] = {entry.tracks[i].time, line.title, line.artist, line.rating,
                           line.comment};
    }
    entry.album = request.album.value_or(entry.album);
    entry.cover = request.cover.empty() ? entry.cover : request.cover;
    entry.albumComment = request.albumComment;

    auto library = openLibrary(request.library);
    if (!library.ok()) {
        return fail(library.error());
    }
    const auto added = library.value().addDisc(
        entry, request.replace ? IfDiscPresent::Replace : IfDiscPresent::Refuse);
    if (!added.ok()) {
        return fail(added.error());
    }
    if (savedCover) {
        savedCover->keep();
    }
    std::cout << "added " << tracks << " tracks of disc " << entry.key << " to " << request.library
              << "\n";
    return 0;
}

// remove FILE --key KEY | --drive DRIVE
int remove(const Arguments& args) {
    if (args.positional.size() != 1 || args.has("--key") == args.has("--drive")) {
        return usageError("remove takes one FILE and either --key or --drive");
    }
    std::string key = args.value("--key").value_or("");
    if (const auto drive = args.value("--drive")) {
        auto disc = readDisc(*drive);
        if (!disc.ok()) {
            return fail(disc.error());
        }
        key = disc.value().key;
    }
    const std::string& path = args.positional[0];
    auto library = openLibrary(path);
    if (!library.ok()) {
        return fail(library.error());
    }
    const auto removed = library.value().removeDisc(key);
    if (!removed.ok()) {
        return fail(removed.error());
    }
    if (removed.value() == 0) {
        return fail("\"" + path + "\" holds no disc with the key " + key + ".");
    }
    std::cout << "removed " << removed.value() << " rows of disc " << key << " from " << path
              << "\n";
    return 0;
}

int lookup(const Arguments& args) {
    if (!args.positional.empty() || !args.has("--drive")) {
        return usageError("lookup needs --drive and no FILE");
    }
    auto settings = onlineSettings(args);
    if (!settings.ok()) {
        return usageError(settings.error());
    }
    const std::string driveSpec = *args.value("--drive");
    auto disc = readDisc(driveSpec);
    if (!disc.ok()) {
        return fail(disc.error());
    }
    auto id = musicBrainzDisc(disc.value(), driveSpec);
    if (!id.ok()) {
        return fail(id.error());
    }
    OnlineSession session(settings.value());
    const ReleaseLookupResult found = session.releases(id.value());
    if (found.failed()) {
        return fail(found.error);
    }
    if (found.releases.empty()) {
        return fail(noRelease(id.value()));
    }
    printReleases(found.releases);
    return 0;
}

int show(const Arguments& args) {
    if (args.positional.size() != 1) {
        return usageError("show takes one FILE");
    }
    auto library = openLibrary(args.positional[0]);
    if (!library.ok()) {
        return fail(library.error());
    }
    const auto key = args.value("--key");
    auto rows = library.value().rows(key ? &*key : nullptr);
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

int check(const Arguments& args) {
    if (args.positional.size() != 1 || !args.options.empty()) {
        return usageError("check takes one FILE and no options");
    }
    const std::string& path = args.positional[0];
    auto library = openLibrary(path);
    if (!library.ok()) {
        return fail(library.error());
    }
    const auto problems = library.value().check();
    if (!problems.ok()) {
        return fail(problems.error());
    }
    if (!problems.value().empty()) {
        for (const std::string& problem : problems.value()) {
            std::cout << escaped(problem) << "\n";
        }
        return fail("the library \"" + path +
                    "\" is damaged: " + std::to_string(problems.value().size()) +
                    " problems found (listed above); nothing will be added to it. Make a new "
                    "library, or mend this one with the sqlite3 program's .recover command.");
    }
    std::cout << "the library " << path << " is sound\n";
    return 0;
}

int key(const Arguments& args) {
    if (!args.positional.empty() || !args.has("--drive")) {
        return usageError("key needs --drive and no FILE");
    }
    const std::string driveSpec = *args.value("--drive");
    auto disc = readDisc(driveSpec);
    if (!disc.ok()) {
        return fail(disc.error());
    }
    if (args.has("--musicbrainz")) {
        auto id = musicBrainzDisc(disc.value(), driveSpec);
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

// Each command with the options it takes: valued (--name VALUE) and flags (--name).
struct Command {
    std::vector<std::string> valued;
    std::vector<std::string> flags;
    int (*run)(const Arguments&);
};

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = {
        {"create", {{}, {}, create}},
        {"add",
         {{"--drive", "--tracks", "--album", "--cover", "--cover-path", "--album-comment",
           "--release", "--server", "--cover-server", "--timeout"},
          {"--replace", "--cdtext", "--musicbrainz"},
          add}},
        {"remove", {{"--key", "--drive"}, {}, remove}},
        {"lookup", {{"--drive", "--server", "--cover-server", "--timeout"}, {}, lookup}},
        {"show", {{"--key"}, {}, show}},
        {"check", {{}, {}, check}},
        {"key", {{"--drive"}, {"--musicbrainz"}, key}},
        {"import", {{"--cover-folder"}, {}, importOld}},
    };
    return table;
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
    const auto found = commands().find(command);
    if (found == commands().end()) {
        return usageError("unknown command '" + command + "'");
    }
    const Arguments args = parseArguments(argc, argv, found->second.valued, found->second.flags);
    if (!args.error.empty()) {
        return usageError(args.error);
    }
    return found->second.run(args);
}
