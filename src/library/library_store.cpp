#include "library/library_store.h"

#include <sys/stat.h>

#include <array>
#include <optional>
#include <utility>

#include "library/jet/access_format.h"
#include "library/stored_text.h"

namespace sonarch {

namespace {

constexpr const char* kDiscWhere = " WHERE cddbToc = ?1";
constexpr const char* kTrackWhere = " WHERE cddbToc = ?1 AND trkNum = ?2";

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

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
    return "The library " + quoted(path) + " has no column " + std::string(column) +
           " in its table Audio.";
}

std::string failureOf(const std::string& path, const SqliteDatabase& db, int code) {
    return DescribeLibraryFailure(path, code, db.lastError());
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

std::string DescribeLibraryFailure(const std::string& path, int code, const std::string& detail) {
    const std::string file = quoted(path);
    switch (code & 0xff) {
        case SQLITE_NOTADB:
            return "The file " + file + " is not a library database.";
        case SQLITE_CORRUPT:
            return "The library " + file + " is damaged and cannot be read.";
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return "The library " + file + " is locked by another program; try again later.";
        case SQLITE_READONLY:
            return "The library " + file + " is read-only, so the change was not saved.";
        case SQLITE_CANTOPEN:
            return "The library " + file + " could not be opened.";
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return "There is no permission to use the library " + file + ".";
        case SQLITE_CONSTRAINT:
            return "The library " + file + " refused the change: " + detail + ".";
        case SQLITE_IOERR:
        case SQLITE_FULL:
            return "The library " + file + " could not be read or written (" + detail + ").";
        default:
            break;
    }
    if (detail.rfind("no such table", 0) == 0) {
        return "The file " + file + " is not a library: it has no table Audio.";
    }
    const std::string prefix = "no such column: ";
    if (detail.rfind(prefix, 0) == 0) {
        return noColumn(path, detail.substr(prefix.size()));
    }
    // What an INSERT naming a missing column says.
    const std::string named = " has no column named ";
    if (const std::size_t at = detail.find(named);
        detail.rfind("table ", 0) == 0 && at != std::string::npos) {
        return noColumn(path, detail.substr(at + named.size()));
    }
    return "The library " + file + " could not be used: " + detail + ".";
}

bool LibraryStore::isAvailable(const std::string& path) {
    struct stat info {};
    // "None selected" is what the settings hold when no library was chosen; it names no
    // library even if a file of that name happens to lie in the working directory.
    return !path.empty() && path != kNoDatabase && ::stat(path.c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

Result<SqliteDatabase> LibraryStore::openLibrary(const std::string& path) const {
    using R = Result<SqliteDatabase>;
    if (!isAvailable(path)) {
        return R::failure("The library " + quoted(path) + " does not exist or is not a file.");
    }
    // A library in the old Access format is named as such and never opened: it is only
    // ever read, by the import.
    if (AccessFormatOf(path)) {
        return R::failure("The file " + quoted(path) +
                          " is a library in the old Access format; import it to use it here.");
    }
    SqliteDatabase db = SqliteDatabase::open(path, SQLITE_OPEN_READWRITE);
    if (db.openCode() != SQLITE_OK) {
        return R::failure(failureOf(path, db, db.openCode()));
    }
    sqlite3_busy_timeout(db.handle(), int(m_busyTimeout.count()));
    // A library may come from anywhere: its schema is not allowed to run functions with
    // side effects or to rewrite the file's inner structures.
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db.handle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);

    SqliteStatement audio = db.prepare(
        "SELECT 1 FROM sqlite_schema WHERE type IN ('table', 'view') AND "
        "name = 'Audio' COLLATE NOCASE");
    const int step = audio.step();
    if (step == SQLITE_DONE) {
        return R::failure("The file " + quoted(path) + " is not a library: it has no table Audio.");
    }
    if (step != SQLITE_ROW) {
        return R::failure(failureOf(path, db, step));
    }
    return R::success(std::move(db));
}

LibraryOutcome<std::vector<TrackRecord>> LibraryStore::readDisc(const std::string& path,
                                                                const std::string& discKey) const {
    using Outcome = LibraryOutcome<std::vector<TrackRecord>>;
    if (!isAvailable(path)) {
        return Outcome::unavailable();
    }
    auto db = openLibrary(path);
    if (!db.ok()) {
        return Outcome::failed(db.error());
    }
    SqliteStatement rows = select(db.value(), kOrderedDiscQuery, {discKey});
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
        TrackRecord record;
        for (std::size_t k = 0; k < cells.size(); ++k) {
            if (!index[k]) {
                if (k > 0) {
                    records.push_back(std::move(record));  // the row was added before the failure
                }
                return Outcome::failed(noColumn(path, cells[k].first), std::move(records));
            }
            record.*cells[k].second = rows.text(*index[k]).value_or(std::string());
        }
        records.push_back(std::move(record));
    }
    if (code != SQLITE_DONE) {
        return Outcome::failed(failureOf(path, db.value(), code), std::move(records));
    }
    return Outcome::done(std::move(records));
}

LibraryOutcome<std::string> LibraryStore::albumComment(const std::string& path,
                                                       const std::string& discKey) const {
    return readCell(path, kDiscQuery, {discKey}, "aCom", false);
}

LibraryOutcome<std::string> LibraryStore::trackComment(const std::string& path,
                                                       const std::string& discKey,
                                                       const std::string& trackText) const {
    return readCell(path, kTrackQuery, {discKey, trackText}, "trkCom", true);
}

LibraryOutcome<std::string> LibraryStore::readCell(const std::string& path, const char* sql,
                                                   const std::vector<std::string>& values,
                                                   const char* column, bool lastRow) const {
    using Outcome = LibraryOutcome<std::string>;
    if (!isAvailable(path)) {
        return Outcome::unavailable();
    }
    auto db = openLibrary(path);
    if (!db.ok()) {
        return Outcome::failed(db.error());
    }
    SqliteStatement rows = select(db.value(), sql, values);
    const std::optional<int> index = columnIndex(rows, column);
    std::string text;
    int code = SQLITE_ROW;
    while ((code = rows.step()) == SQLITE_ROW) {
        if (!index) {
            return Outcome::failed(noColumn(path, column));
        }
        text = rows.text(*index).value_or(std::string());
        if (!lastRow) {
            return Outcome::done(std::move(text));
        }
    }
    if (code != SQLITE_DONE) {
        return Outcome::failed(failureOf(path, db.value(), code));
    }
    return Outcome::done(std::move(text));
}

LibraryOutcome<int> LibraryStore::setRating(const std::string& path, const std::string& discKey,
                                            const std::string& trackText,
                                            std::int16_t rating) const {
    return update(path, "Rating", kTrackWhere, {discKey, trackText},
                  FieldValue{std::int64_t{rating}});
}

LibraryOutcome<int> LibraryStore::setAlbumComment(const std::string& path,
                                                  const std::string& discKey,
                                                  const std::string& text) const {
    return update(path, "aCom", kDiscWhere, {discKey},
                  FieldValue{FirstCharacters(text, kStoredCommentLength)});
}

LibraryOutcome<int> LibraryStore::setTrackComment(const std::string& path,
                                                  const std::string& discKey,
                                                  const std::string& trackText,
                                                  const std::string& text) const {
    return update(path, "trkCom", kTrackWhere, {discKey, trackText},
                  FieldValue{FirstCharacters(text, kStoredCommentLength)});
}

LibraryOutcome<int> LibraryStore::update(const std::string& path, const char* column,
                                         const char* where, const std::vector<std::string>& keys,
                                         const FieldValue& value) const {
    using Outcome = LibraryOutcome<int>;
    if (!isAvailable(path)) {
        return Outcome::unavailable();
    }
    auto db = openLibrary(path);
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
        return Outcome::failed(failureOf(path, db.value(), code));
    }
    return Outcome::done(db.value().changes());
}

}  // namespace sonarch
