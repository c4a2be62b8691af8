#include "library/open_library.h"

#include <sys/stat.h>

#include "library/jet/access_format.h"
#include "library/library_choice.h"
#include "library/library_store.h"

namespace sonarch {

namespace {

// Memory SQLite may take in this process. Temporary tables and sorts are kept in memory
// (never in files), so this bounds them too.
constexpr sqlite3_int64 kLargestHeap = 512LL * 1024 * 1024;

std::string noColumn(const std::string& path, std::string_view column) {
    return "The library " + QuotedPath(path) + " has no column " + std::string(column) +
           " in its table Audio.";
}

// Turns off what a file could use to run code of its own or to change the file's inner
// structures, and bounds what a statement may use.
void guard(SqliteDatabase& db, const LibraryLimits& limits) {
    sqlite3* handle = db.handle();
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    db.execute("PRAGMA temp_store = MEMORY");
    // Left as it is when the program has set a bound of its own.
    if (sqlite3_hard_heap_limit64(-1) == 0) {
        sqlite3_hard_heap_limit64(kLargestHeap);
    }
    db.limitWork(limits.busyTimeout, limits.workTime, limits.stop);
}

// Refuses a file whose Audio is anything but a plain table, or that would run triggers
// on it.
Result<bool> checkAudioTable(const std::string& path, SqliteDatabase& db) {
    using R = Result<bool>;
    SqliteStatement audio = db.prepare(
        "SELECT type, sql LIKE 'CREATE VIRTUAL%' FROM sqlite_schema "
        "WHERE name = 'Audio' COLLATE NOCASE AND type IN ('table', 'view')");
    int step = audio.step();
    if (step == SQLITE_DONE) {
        return R::failure("The file " + QuotedPath(path) +
                          " is not a library: it has no table Audio.");
    }
    if (step != SQLITE_ROW) {
        return R::failure(LibraryFailure(path, db, step));
    }
    const std::string cannot = "The library " + QuotedPath(path) + " cannot be used: ";
    if (audio.text(0).value_or("") == "view") {
        return R::failure(cannot + "its Audio is a view, and only a table of tracks is read.");
    }
    if (audio.number(1) != 0) {
        return R::failure(cannot +
                          "its Audio is a virtual table, and only a table of tracks is read.");
    }
    SqliteStatement triggers = db.prepare(
        "SELECT count(*) FROM sqlite_schema WHERE type = 'trigger' AND "
        "tbl_name = 'Audio' COLLATE NOCASE");
    step = triggers.step();
    if (step != SQLITE_ROW) {
        return R::failure(LibraryFailure(path, db, step));
    }
    if (triggers.number(0) > 0) {
        return R::failure(cannot +
                          "its table Audio has triggers, programs of the file's own that would "
                          "run on every change.");
    }
    return R::success(true);
}

}  // namespace

bool IsLibraryAvailable(const std::string& path) {
    struct stat info {};
    // "None selected" names no library even if a file of that name happens to lie in the
    // working directory.
    return !path.empty() && path != kNoDatabase && ::stat(path.c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

std::string QuotedPath(const std::string& path) {
    return "\"" + path + "\"";
}

std::string DescribeLibraryFailure(const std::string& path, int code, const std::string& detail) {
    const std::string file = QuotedPath(path);
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
        case SQLITE_NOMEM:
            return "The library " + file + " needs more memory than a library may take.";
        case SQLITE_INTERRUPT:
            return "The work on the library " + file + " was stopped; nothing was changed.";
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

std::string LibraryFailure(const std::string& path, const SqliteDatabase& db, int code) {
    if ((code & 0xff) == SQLITE_INTERRUPT && db.interruption() == SqliteInterruption::WorkTime) {
        return "The library " + QuotedPath(path) + " took too long to answer and was left; " +
               "nothing was changed.";
    }
    return DescribeLibraryFailure(path, code, db.lastError());
}

Result<SqliteDatabase> OpenLibrary(const std::string& path, const LibraryLimits& limits) {
    using R = Result<SqliteDatabase>;
    if (!IsLibraryAvailable(path)) {
        return R::failure("The library " + QuotedPath(path) + " does not exist or is not a file.");
    }
    // A library in the old Access format is named as such and never opened: it is only
    // ever read, by the import.
    if (AccessFormatOf(path)) {
        return R::failure("The file " + QuotedPath(path) +
                          " is a library in the old Access format; import it to use it here.");
    }
    SqliteDatabase db = SqliteDatabase::open(path, SQLITE_OPEN_READWRITE);
    if (db.openCode() != SQLITE_OK) {
        return R::failure(LibraryFailure(path, db, db.openCode()));
    }
    guard(db, limits);
    if (auto audio = checkAudioTable(path, db); !audio.ok()) {
        return R::failure(audio.error());
    }
    return R::success(std::move(db));
}

}  // namespace sonarch
