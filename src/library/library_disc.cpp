#include "library/library_disc.h"

#include <array>
#include <optional>
#include <utility>

#include "library/open_library.h"
#include "library/stored_text.h"

namespace sonarch {

namespace {

constexpr const char* kDiscWhere = " WHERE cddbToc = ?1";
constexpr const char* kTrackWhere = " WHERE cddbToc = ?1 AND trkNum = ?2";

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Where a column of the table stands in a row of SELECT *, in any letter case.
std::optional<int> columnIndex(const SqliteStatement& select, std::string_view column) {
    for (int i = 0; i < select.columnCount(); ++i) {
        if (sameName(select.columnName(i), column)) {
            return i;
        }
    }
    return std::nullopt;
}

std::string noColumn(const std::string& path, std::string_view column) {
    return "The library " + QuotedPath(path) + " has no column " + std::string(column) +
           " in its table Audio.";
}

std::string tooManyRows(const std::string& path) {
    return "The library " + QuotedPath(path) + " holds more than " +
           std::to_string(kMostRowsOfADisc) + " rows for this disc; only the first " +
           std::to_string(kMostRowsOfADisc) + " were read.";
}

SqliteStatement select(const SqliteDatabase& db, const char* sql,
                       const std::vector<std::string>& values) {
    SqliteStatement statement = db.prepare(sql);
    for (std::size_t i = 0; i < values.size(); ++i) {
        statement.bind(int(i + 1), values[i]);
    }
    return statement;
}

}  // namespace

LibraryOutcome<std::vector<TrackRecord>> LibraryDisc::readTracks() const {
    using Outcome = LibraryOutcome<std::vector<TrackRecord>>;
    if (!IsLibraryAvailable(m_path)) {
        return Outcome::unavailable();
    }
    auto db = OpenLibrary(m_path, m_limits);
    if (!db.ok()) {
        return Outcome::failed(db.error());
    }
    SqliteStatement rows = select(db.value(), kOrderedDiscQuery, {m_key});
    // The cells in the order the track list takes them.
    const std::array<std::pair<const char*, std::string TrackRecord::*>, 7> cells = {{
        {"trkNum", &TrackRecord::trkNum},
        {"trkTime", &TrackRecord::trkTime},
        {"trkTitle", &TrackRecord::trkTitle},
        {"trkArtist", &TrackRecord::trkArtist},
        {"Album", &TrackRecord::album},
        {"Rating", &TrackRecord::rating},
        {"Cover", &TrackRecord::cover},
    }};
    std::array<std::optional<int>, cells.size()> index;
    for (std::size_t k = 0; k < cells.size(); ++k) {
        index[k] = columnIndex(rows, cells[k].first);
    }
    std::vector<TrackRecord> records;
    int code = SQLITE_ROW;
    while ((code = rows.step()) == SQLITE_ROW) {
        if (records.size() == std::size_t(kMostRowsOfADisc)) {
            return Outcome::failed(tooManyRows(m_path), std::move(records));
        }
        TrackRecord record;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (!index[k]) {
                if (k > 0) {
                    records.push_back(std::move(record));  // the row was added before the failure
                }
                return Outcome::failed(noColumn(m_path, cells[k].first), std::move(records));
            }
            record.*cells[k].second = rows.text(*index[k]).value_or(std::string());
        }
        records.push_back(std::move(record));
    }
    if (code != SQLITE_DONE) {
        return Outcome::failed(LibraryFailure(m_path, db.value(), code), std::move(records));
    }
    return Outcome::done(std::move(records));
}

LibraryOutcome<std::string> LibraryDisc::albumComment() const {
    return readCell(kDiscQuery, {m_key}, "aCom", false);
}

LibraryOutcome<std::string> LibraryDisc::trackComment(const std::string& trackText) const {
    return readCell(kTrackQuery, {m_key, trackText}, "trkCom", true);
}

LibraryOutcome<std::string> LibraryDisc::readCell(const char* sql,
                                                  const std::vector<std::string>& values,
                                                  const char* column, bool lastRow) const {
    using Outcome = LibraryOutcome<std::string>;
    if (!IsLibraryAvailable(m_path)) {
        return Outcome::unavailable();
    }
    auto db = OpenLibrary(m_path, m_limits);
    if (!db.ok()) {
        return Outcome::failed(db.error());
    }
    SqliteStatement rows = select(db.value(), sql, values);
    const std::optional<int> index = columnIndex(rows, column);
    std::string text;
    int code = SQLITE_ROW;
    // A track has one row, a disc at most 99: rows past those are not read.
    for (int read = 0; read < kMostRowsOfADisc && (code = rows.step()) == SQLITE_ROW; ++read) {
        if (!index) {
            return Outcome::failed(noColumn(m_path, column));
        }
        text = rows.text(*index).value_or(std::string());
        if (!lastRow) {
            return Outcome::done(std::move(text));
        }
    }
    if (code != SQLITE_DONE && code != SQLITE_ROW) {
        return Outcome::failed(LibraryFailure(m_path, db.value(), code));
    }
    return Outcome::done(std::move(text));
}

LibraryOutcome<int> LibraryDisc::setRating(const std::string& trackText,
                                           std::int16_t rating) const {
    return update("Rating", kTrackWhere, {m_key, trackText}, FieldValue{std::int64_t{rating}});
}

LibraryOutcome<int> LibraryDisc::setAlbumComment(const std::string& text) const {
    return update("aCom", kDiscWhere, {m_key},
                  FieldValue{FirstCharacters(text, kStoredCommentLength)});
}

LibraryOutcome<int> LibraryDisc::setTrackComment(const std::string& trackText,
                                                 const std::string& text) const {
    return update("trkCom", kTrackWhere, {m_key, trackText},
                  FieldValue{FirstCharacters(text, kStoredCommentLength)});
}

LibraryOutcome<int> LibraryDisc::update(const char* column, const char* where,
                                        const std::vector<std::string>& keys,
                                        const FieldValue& value) const {
    using Outcome = LibraryOutcome<int>;
    if (!IsLibraryAvailable(m_path)) {
        return Outcome::unavailable();
    }
    auto db = OpenLibrary(m_path, m_limits);
    if (!db.ok()) {
        return Outcome::failed(db.error());
    }
    // One statement: every matching row changes, or (when a row is refused) none does.
    const std::string sql = std::string("UPDATE Audio SET ") + column + " = ?" +
                            std::to_string(keys.size() + 1) + where;
    SqliteStatement change = select(db.value(), sql.c_str(), keys);
    const int slot = int(keys.size() + 1);
    if (const auto* text = std::get_if<std::string>(&value)) {
        change.bind(slot, *text);
    } else {
        change.bind(slot, std::get<std::int64_t>(value));
    }
    if (const int code = change.step(); code != SQLITE_DONE) {
        return Outcome::failed(LibraryFailure(m_path, db.value(), code));
    }
    return Outcome::done(db.value().changes());
}

}  // namespace sonarch
