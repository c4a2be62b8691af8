#include "library/open_library.h"

#include "library/jet/access_format.h"
#include "library/library_store.h"

namespace sonarch {

namespace {

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string noColumn(const std::string& path, std::string_view column) {
    return "The library " + quoted(path) + " has no column " + std::string(column) +
           " in its table Audio.";
}

std::string failureOf(const std::string& path, const SqliteDatabase& db, int code) {
    return DescribeLibraryFailure(path, code, db.lastError());
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

Result<SqliteDatabase> OpenLibrary(const std::string& path, std::chrono::milliseconds busyTimeout) {
    using R = Result<SqliteDatabase>;
    if (!LibraryStore::isAvailable(path)) {
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
    sqlite3_busy_timeout(db.handle(), int(busyTimeout.count()));
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

}  // namespace sonarch
