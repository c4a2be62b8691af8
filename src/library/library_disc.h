#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "library/library_limits.h"
#include "library/library_outcome.h"

namespace sonarch {

// The three questions the player asks its library, with ?1 for the disc key and ?2 for
// the track number as two digits. Values are bound, so a key never changes a statement.
inline constexpr const char* kOrderedDiscQuery =
    "SELECT * FROM Audio WHERE cddbToc = ?1 ORDER BY trkNum";
inline constexpr const char* kDiscQuery = "SELECT * FROM Audio WHERE cddbToc = ?1";
inline constexpr const char* kTrackQuery = "SELECT * FROM Audio WHERE cddbToc = ?1 AND trkNum = ?2";

// One library row of a disc, every column as the track list shows it.
struct TrackRecord {
    std::string trkNum;
    std::string trkTime;
    std::string trkTitle;
    std::string trkArtist;
    std::string album;
    std::string rating;
    std::string cover;

    bool operator==(const TrackRecord&) const = default;
};

// One disc of one library file: a SQLite database with the table Audio, one row per
// track, found by the disc's stored key (its first 250 characters) and the track number as
// two digits ("07"). Each operation opens the file, runs one statement and closes it
// again; another program may use the file meanwhile.
//
// Every operation is Unavailable, and does nothing at all, when no library is chosen or
// its file is gone; Failed, with plain words naming the file, when the store refused or an
// operation went past its limits; Done otherwise, also for a disc or track that has no row.
class LibraryDisc {
public:
    LibraryDisc(std::string path, std::string discKey, const LibraryLimits& limits)
        : m_path(std::move(path)), m_key(std::move(discKey)), m_limits(limits) {}

    const std::string& path() const { return m_path; }
    const std::string& key() const { return m_key; }

    // The disc's rows in trkNum order, at most kMostRowsOfADisc of them (more fail, with
    // those read). When the store fails half way, the rows read so far come with the
    // failure: the last of them as far as it was read, column by column in the order of
    // TrackRecord.
    LibraryOutcome<std::vector<TrackRecord>> readTracks() const;
    // aCom of the disc's first row; empty when the disc has no row.
    LibraryOutcome<std::string> albumComment() const;
    // trkCom of the track's last matching row; empty when it has none.
    LibraryOutcome<std::string> trackComment(const std::string& trackText) const;

    // The writes change every matching row, or none; the value is the number changed.
    LibraryOutcome<int> setRating(const std::string& trackText, std::int16_t rating) const;
    // Comments are stored as their first 250 characters.
    LibraryOutcome<int> setAlbumComment(const std::string& text) const;
    LibraryOutcome<int> setTrackComment(const std::string& trackText,
                                        const std::string& text) const;

private:
    using FieldValue = std::variant<std::string, std::int64_t>;

    // One column of the first (or the last) row a query matches.
    LibraryOutcome<std::string> readCell(const char* sql, const std::vector<std::string>& values,
                                         const char* column, bool lastRow) const;
    // Sets one column in every row that `where` matches with `keys`.
    LibraryOutcome<int> update(const char* column, const char* where,
                               const std::vector<std::string>& keys, const FieldValue& value) const;

    std::string m_path;
    std::string m_key;
    LibraryLimits m_limits;
};

}  // namespace sonarch
