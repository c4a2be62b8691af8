#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/result.h"
#include "library/disc_entry.h"
#include "library/library_check_record.h"
#include "library/library_limits.h"

namespace sonarch {

// One row of the table Audio, every cell as stored, the rating as a number.
struct LibraryRow {
    std::string cddbToc;
    std::string trkNum;
    std::string trkTime;
    std::string trkTitle;
    std::string trkArtist;
    std::string album;
    int rating = 0;
    std::string cover;
    std::string aCom;
    std::string trkCom;

    bool operator==(const LibraryRow&) const = default;
};

// A disc of the library as a list of discs shows it.
struct DiscSummary {
    std::string key;
    std::string album;   // of its first track
    std::string artist;  // the artist of all its tracks; empty when they differ
    std::string cover;   // of its first track
    int tracks = 0;
    int seconds = 0;  // the tracks' lengths added up

    bool operator==(const DiscSummary&) const = default;
};

// Changes to one track of a disc; what is not given stays.
struct TrackEdit {
    int track = 0;  // its number: rows stored as "07" and as "7" alike
    std::optional<std::string> title;
    std::optional<std::string> artist;
    std::optional<int> rating;  // 0 to 10
    std::optional<std::string> comment;
};

// Changes to a disc: to every row of it, and to some tracks; what is not given stays.
struct DiscEdit {
    std::optional<std::string> album;
    std::optional<std::string> albumComment;
    std::optional<std::string> cover;  // an absolute path, or empty for none
    std::vector<TrackEdit> tracks;
};

// What to do when a disc being added is there already.
enum class IfDiscPresent { Refuse, Replace };

// A library as the tools that fill it see it (qvlib, the library window): every change is
// one transaction, all of it or nothing. Each operation opens the file and closes it
// again, so the player and other programs use the file meanwhile.
//
// Nothing is written into a damaged file: before the first change made through a
// LibraryFile, the whole file is checked (PRAGMA integrity_check), unless the record
// shows it unchanged since it last passed; check() runs that check at once. The schema
// of an older library is brought up to date with the first change.
//
// Names (titles, artists, album) are stored as one line of at most 255 characters,
// comments as their first 250 characters; texts must be UTF-8.
class LibraryFile {
public:
    // Makes a new, empty library: the table Audio, its index, the schema version. Never
    // touches a file that exists.
    static Result<LibraryFile> create(const std::string& path,
                                      const LibraryLimits& limits = LibraryLimits::forTools(),
                                      const LibraryCheckRecord* record = nullptr);
    // An existing library, checked to be one (see OpenLibrary) but not yet read whole.
    static Result<LibraryFile> open(const std::string& path,
                                    const LibraryLimits& limits = LibraryLimits::forTools(),
                                    const LibraryCheckRecord* record = nullptr);

    const std::string& path() const { return m_path; }

    // Reads the whole file for damage now; the problems found (none: it is sound).
    Result<std::vector<std::string>> check();
    // The check changes need, done now if it has not been: once per LibraryFile.
    Result<bool> ensureChecked();

    // Every row, or those of one disc, ordered by disc key and track.
    Result<std::vector<LibraryRow>> rows(const std::string* discKey = nullptr) const;
    // Every disc, by key; reads the whole file.
    Result<std::vector<DiscSummary>> discs() const;

    // Adds one row per track of the disc.
    Result<bool> addDisc(const DiscEntry& disc, IfDiscPresent ifPresent);
    // Adds rows of one disc (all with the same key) as they are given.
    Result<bool> addRows(const std::vector<LibraryRow>& rows, IfDiscPresent ifPresent);
    // Changes the disc's rows; the number of rows changed (0: the disc has none).
    Result<int> editDisc(const std::string& discKey, const DiscEdit& edit);
    // Removes every row of the disc; the number removed (0: it had none).
    Result<int> removeDisc(const std::string& discKey);

private:
    class Change;

    LibraryFile(std::string path, const LibraryLimits& limits, const LibraryCheckRecord* record)
        : m_path(std::move(path)), m_limits(limits), m_record(record) {}

    std::string m_path;
    LibraryLimits m_limits;
    const LibraryCheckRecord* m_record = nullptr;
    bool m_checked = false;
};

}  // namespace sonarch
