#include "qvlib/library_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <filesystem>
#include <memory>

#include "library/library_store.h"

namespace sonarch {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE Audio ("
    " cddbToc TEXT NOT NULL,"
    " trkNum TEXT NOT NULL,"
    " trkTime TEXT NOT NULL DEFAULT '',"
    " trkTitle TEXT NOT NULL DEFAULT '',"
    " trkArtist TEXT NOT NULL DEFAULT '',"
    " Album TEXT NOT NULL DEFAULT '',"
    " Rating INTEGER NOT NULL DEFAULT 0,"
    " Cover TEXT NOT NULL DEFAULT '',"
    " aCom TEXT NOT NULL DEFAULT '',"
    " trkCom TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX AudioByDiscAndTrack ON Audio (cddbToc, trkNum);";

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;

struct FinalizeStatement {
    void operator()(sqlite3_stmt* stmt) const { sqlite3_finalize(stmt); }
};
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

std::string failure(const std::string& path, sqlite3* db) {
    return "\"" + path + "\": " + (db ? sqlite3_errmsg(db) : "out of memory");
}

Result<Database> openFile(const std::string& path, int flags) {
    // A name starting with "file:" would be read as a URI; "./" keeps it a plain path.
    const std::string name = !path.empty() && path.front() == '/' ? path : "./" + path;
    sqlite3* raw = nullptr;
    const int code = sqlite3_open_v2(name.c_str(), &raw, flags, nullptr);
    Database db(raw);
    if (code != SQLITE_OK) {
        return Result<Database>::failure(failure(path, db.get()));
    }
    sqlite3_busy_timeout(db.get(), 5000);
    return Result<Database>::success(std::move(db));
}

// Opens an existing file after the player's own check that it is a library.
Result<Database> openLibrary(const std::string& path, int flags) {
    if (auto check = LibraryStore().open(path); !check.ok()) {
        return Result<Database>::failure(check.error());
    }
    return openFile(path, flags);
}

Result<Statement> prepare(sqlite3* db, const std::string& path, const char* sql) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        return Result<Statement>::failure(failure(path, db));
    }
    return Result<Statement>::success(Statement(raw));
}

void bind(sqlite3_stmt* stmt, int index, const std::string& text) {
    sqlite3_bind_text(stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
}

std::string column(sqlite3_stmt* stmt, int index) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, index));
    return text ? std::string(text, std::size_t(sqlite3_column_bytes(stmt, index))) : "";
}

// Rolls back unless committed, so a failure half way adds nothing.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db) {}
    ~Transaction() {
        if (m_open) {
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    }
    bool begin() {
        return m_open =
                   sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    bool commit() {
        if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
        m_open = false;
        return true;
    }

private:
    sqlite3* m_db;
    bool m_open = false;
};

}  // namespace

Result<bool> CreateLibraryFile(const std::string& path) {
    // Made empty first, atomically, so an existing file is never written over.
    const int fd = path.empty() ? -1 : ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) {
        const int why = errno;
        return Result<bool>::failure(
            "\"" + path + "\" " +
            (why == EEXIST ? "already exists; choose a new file name."
                           : "cannot be made: " + std::string(std::strerror(why)) + "."));
    }
    ::close(fd);
    std::error_code error;
    auto db = openFile(path, SQLITE_OPEN_READWRITE);
    if (!db.ok()) {
        std::filesystem::remove(path, error);
        return Result<bool>::failure(db.error());
    }
    Transaction transaction(db.value().get());
    if (!transaction.begin() ||
        sqlite3_exec(db.value().get(), kSchema, nullptr, nullptr, nullptr) != SQLITE_OK ||
        !transaction.commit()) {
        const std::string message = failure(path, db.value().get());
        db.value().reset();
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
    auto opened = openLibrary(path, SQLITE_OPEN_READWRITE);
    if (!opened.ok()) {
        return R::failure(opened.error());
    }
    sqlite3* db = opened.value().get();
    Transaction transaction(db);
    if (!transaction.begin()) {
        return R::failure(failure(path, db));
    }
    const std::string& key = rows.front().cddbToc;
    auto count = prepare(db, path, "SELECT count(*) FROM Audio WHERE cddbToc = ?1");
    if (!count.ok()) {
        return R::failure(count.error());
    }
    bind(count.value().get(), 1, key);
    if (sqlite3_step(count.value().get()) != SQLITE_ROW) {
        return R::failure(failure(path, db));
    }
    const auto existing = sqlite3_column_int64(count.value().get(), 0);
    if (existing > 0 && !replace) {
        return R::failure("\"" + path + "\" already holds " + std::to_string(existing) +
                          " rows for this disc; use --replace to write them anew.");
    }
    if (existing > 0) {
        auto remove = prepare(db, path, "DELETE FROM Audio WHERE cddbToc = ?1");
        if (!remove.ok()) {
            return R::failure(remove.error());
        }
        bind(remove.value().get(), 1, key);
        if (sqlite3_step(remove.value().get()) != SQLITE_DONE) {
            return R::failure(failure(path, db));
        }
    }
    auto insert = prepare(db, path,
                          "INSERT INTO Audio (cddbToc, trkNum, trkTime, trkTitle, trkArtist, "
                          "Album, Rating, Cover, aCom, trkCom) "
                          "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    if (!insert.ok()) {
        return R::failure(insert.error());
    }
    sqlite3_stmt* stmt = insert.value().get();
    for (const LibraryRow& row : rows) {
        sqlite3_reset(stmt);
        bind(stmt, 1, row.cddbToc);
        bind(stmt, 2, row.trkNum);
        bind(stmt, 3, row.trkTime);
        bind(stmt, 4, row.trkTitle);
        bind(stmt, 5, row.trkArtist);
        bind(stmt, 6, row.album);
        sqlite3_bind_int(stmt, 7, row.rating);
        bind(stmt, 8, row.cover);
        bind(stmt, 9, row.aCom);
        bind(stmt, 10, row.trkCom);
        if (sqlite3_step(stmt) != SQLITE_DONE) {
            return R::failure(failure(path, db));
        }
    }
    if (!transaction.commit()) {
        return R::failure(failure(path, db));
    }
    return R::success(true);
}

Result<std::vector<LibraryRow>> ListRows(const std::string& path, const std::string* discKey) {
    using R = Result<std::vector<LibraryRow>>;
    auto opened = openLibrary(path, SQLITE_OPEN_READONLY);
    if (!opened.ok()) {
        return R::failure(opened.error());
    }
    sqlite3* db = opened.value().get();
    const std::string sql = std::string(
                                "SELECT cddbToc, trkNum, trkTime, trkTitle, trkArtist, Album, "
                                "Rating, Cover, aCom, trkCom FROM Audio") +
                            (discKey ? " WHERE cddbToc = ?1" : "") + " ORDER BY cddbToc, trkNum";
    auto select = prepare(db, path, sql.c_str());
    if (!select.ok()) {
        return R::failure(select.error());
    }
    sqlite3_stmt* stmt = select.value().get();
    if (discKey) {
        bind(stmt, 1, *discKey);
    }
    std::vector<LibraryRow> rows;
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(stmt)) == SQLITE_ROW) {
        LibraryRow row;
        row.cddbToc = column(stmt, 0);
        row.trkNum = column(stmt, 1);
        row.trkTime = column(stmt, 2);
        row.trkTitle = column(stmt, 3);
        row.trkArtist = column(stmt, 4);
        row.album = column(stmt, 5);
        row.rating = sqlite3_column_int(stmt, 6);
        row.cover = column(stmt, 7);
        row.aCom = column(stmt, 8);
        row.trkCom = column(stmt, 9);
        rows.push_back(std::move(row));
    }
    if (code != SQLITE_DONE) {
        return R::failure(failure(path, db));
    }
    return R::success(std::move(rows));
}

}  // namespace sonarch
