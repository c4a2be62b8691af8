#include "qvlib/library_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "library/library_store.h"
#include "library/open_library.h"
#include "library/schema.h"

namespace sonarch {

namespace {

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

std::string failure(const std::string& path, const SqliteDatabase& db, int code) {
    return DescribeLibraryFailure(path, code, db.lastError());
}

// An existing library, checked as the player checks it and brought up to the current
// schema version inside `transaction`. SQLite's own failures are told in plain words.
Result<bool> upToDate(const std::string& path, SqliteDatabase& db) {
    if (auto migrated = MigrateLibrary(db); !migrated.ok()) {
        const int code = sqlite3_errcode(db.handle());
        if (code != SQLITE_OK && code != SQLITE_ROW && code != SQLITE_DONE) {
            return Result<bool>::failure(failure(path, db, code));
        }
        return Result<bool>::failure("The library " + quoted(path) +
                                     " cannot be changed: " + migrated.error() + ".");
    }
    return Result<bool>::success(true);
}

// Rows are never added to a damaged file, where they could be lost with the rest. A full
// check reads the whole file, which is quick for a library of any size a person keeps.
Result<bool> undamaged(const std::string& path, SqliteDatabase& db) {
    SqliteStatement check = db.prepare("PRAGMA quick_check(1)");
    const int code = check.step();
    if (code != SQLITE_ROW) {
        return Result<bool>::failure(failure(path, db, code));
    }
    if (check.text(0).value_or("") != "ok") {
        return Result<bool>::failure(DescribeLibraryFailure(path, SQLITE_CORRUPT, ""));
    }
    return Result<bool>::success(true);
}

}  // namespace

Result<bool> CreateLibraryFile(const std::string& path) {
    // Made empty first, atomically, so an existing file is never written over.
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        const int why = errno;
        return Result<bool>::failure(
            quoted(path) + " " +
            (why == EEXIST ? "already exists; choose a new file name."
                           : "cannot be made: " + std::string(std::strerror(why)) + "."));
    }
    ::close(fd);
    std::string message;
    {
        SqliteDatabase db = SqliteDatabase::open(path, SQLITE_OPEN_READWRITE);
        if (db.openCode() != SQLITE_OK) {
            message = failure(path, db, db.openCode());
        } else {
            SqliteTransaction transaction(db);
            int code = transaction.begin();
            if (code == SQLITE_OK) {
                code = db.execute(AudioTableSql().c_str());
            }
            if (code == SQLITE_OK) {
                code = transaction.commit();
            }
            if (code != SQLITE_OK) {
                message = failure(path, db, code);
            }
        }
    }
    if (!message.empty()) {
        std::error_code error;
        std::filesystem::remove(path, error);
        return Result<bool>::failure(message);
    }
    return Result<bool>::success(true);
}

Result<bool> AddDiscRows(const std::string& path, const std::vector<LibraryRow>& rows,
                         bool replace) {
    using R = Result<bool>;
    if (rows.empty()) {
        return R::failure("there are no tracks to add.");
    }
    auto opened = OpenLibrary(path, LibraryLimits::forTools());
    if (!opened.ok()) {
        return R::failure(opened.error());
    }
    SqliteDatabase& db = opened.value();
    SqliteTransaction transaction(db);
    if (const int code = transaction.begin(); code != SQLITE_OK) {
        return R::failure(failure(path, db, code));
    }
    if (auto sound = undamaged(path, db); !sound.ok()) {
        return sound;
    }
    if (auto current = upToDate(path, db); !current.ok()) {
        return current;
    }
    const std::string& key = rows.front().cddbToc;
    SqliteStatement count = db.prepare("SELECT count(*) FROM Audio WHERE cddbToc = ?1");
    if (const int code = count.bind(1, key).step(); code != SQLITE_ROW) {
        return R::failure(failure(path, db, code));
    }
    const auto existing = count.number(0);
    if (existing > 0 && !replace) {
        return R::failure(quoted(path) + " already holds " + std::to_string(existing) +
                          " rows for this disc; use --replace to write them anew.");
    }
    if (existing > 0) {
        SqliteStatement remove = db.prepare("DELETE FROM Audio WHERE cddbToc = ?1");
        if (const int code = remove.bind(1, key).step(); code != SQLITE_DONE) {
            return R::failure(failure(path, db, code));
        }
    }
    SqliteStatement insert = db.prepare(
        "INSERT INTO Audio (cddbToc, trkNum, trkTime, trkTitle, trkArtist, Album, Rating, Cover, "
        "aCom, trkCom) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    if (const int code = insert.prepareCode(); code != SQLITE_OK) {
        return R::failure(failure(path, db, code));  // a column is missing
    }
    for (const LibraryRow& row : rows) {
        insert.reset();
        insert.bind(1, row.cddbToc)
            .bind(2, row.trkNum)
            .bind(3, row.trkTime)
            .bind(4, row.trkTitle)
            .bind(5, row.trkArtist)
            .bind(6, row.album)
            .bind(7, std::int64_t{row.rating})
            .bind(8, row.cover)
            .bind(9, row.aCom)
            .bind(10, row.trkCom);
        if (const int code = insert.step(); code != SQLITE_DONE) {
            return R::failure(failure(path, db, code));
        }
    }
    if (const int code = transaction.commit(); code != SQLITE_OK) {
        return R::failure(failure(path, db, code));
    }
    return R::success(true);
}

Result<std::vector<LibraryRow>> ListRows(const std::string& path, const std::string* discKey) {
    using R = Result<std::vector<LibraryRow>>;
    auto opened = OpenLibrary(path, LibraryLimits::forTools());
    if (!opened.ok()) {
        return R::failure(opened.error());
    }
    SqliteDatabase& db = opened.value();
    const std::string sql = std::string(
                                "SELECT cddbToc, trkNum, trkTime, trkTitle, trkArtist, Album, "
                                "Rating, Cover, aCom, trkCom FROM Audio") +
                            (discKey ? " WHERE cddbToc = ?1" : "") + " ORDER BY cddbToc, trkNum";
    SqliteStatement select = db.prepare(sql);
    if (discKey) {
        select.bind(1, *discKey);
    }
    auto cell = [&select](int column) { return select.text(column).value_or(std::string()); };
    std::vector<LibraryRow> rows;
    int code = SQLITE_ROW;
    while ((code = select.step()) == SQLITE_ROW) {
        LibraryRow row;
        row.cddbToc = cell(0);
        row.trkNum = cell(1);
        row.trkTime = cell(2);
        row.trkTitle = cell(3);
        row.trkArtist = cell(4);
        row.album = cell(5);
        row.rating = int(select.number(6));
        row.cover = cell(7);
        row.aCom = cell(8);
        row.trkCom = cell(9);
        rows.push_back(std::move(row));
    }
    if (code != SQLITE_DONE) {
        return R::failure(failure(path, db, code));
    }
    return R::success(std::move(rows));
}

}  // namespace sonarch
