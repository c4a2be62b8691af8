#include "library/library_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <utility>

namespace sonarch {

namespace {

std::string quoted(const std::string& path) {
    return "\"" + path + "\"";
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Plain words for a SQLite failure on the file at `path`.
std::string describeFailure(const std::string& path, int code, const std::string& detail) {
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
    const std::string noColumn = "no such column: ";
    if (detail.rfind(noColumn, 0) == 0) {
        return "The library " + file + " has no column " + detail.substr(noColumn.size()) +
               " in its table Audio.";
    }
    return "The library " + file + " could not be used: " + detail + ".";
}

// Finalizes a prepared statement on every way out.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) {
        m_code = sqlite3_prepare_v2(db, sql.c_str(), int(sql.size()), &m_stmt, nullptr);
    }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int prepareCode() const { return m_code; }
    sqlite3_stmt* get() const { return m_stmt; }

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_code = SQLITE_OK;
};

int bindText(sqlite3_stmt* stmt, int index, const std::string& value) {
    return sqlite3_bind_text(stmt, index, value.data(), int(value.size()), SQLITE_TRANSIENT);
}

}  // namespace

// The open SQLite handle, closed when its last holder lets go.
class LibraryConnection {
public:
    LibraryConnection(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}
    ~LibraryConnection() { sqlite3_close_v2(m_db); }
    LibraryConnection(const LibraryConnection&) = delete;
    LibraryConnection& operator=(const LibraryConnection&) = delete;

    sqlite3* db() const { return m_db; }
    const std::string& path() const { return m_path; }

    std::string failure(int code) const {
        return describeFailure(m_path, code, sqlite3_errmsg(m_db));
    }

    StoreStatus execute(const char* sql) {
        char* message = nullptr;
        const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, &message);
        sqlite3_free(message);
        if (code != SQLITE_OK) {
            return StoreStatus::failure(failure(code));
        }
        return StoreStatus::success({});
    }

private:
    sqlite3* m_db;
    std::string m_path;
};

LibraryQuery LibraryQuery::orderedDisc(std::string discKey) {
    return LibraryQuery(Kind::OrderedDisc, {std::move(discKey)});
}

LibraryQuery LibraryQuery::disc(std::string discKey) {
    return LibraryQuery(Kind::Disc, {std::move(discKey)});
}

LibraryQuery LibraryQuery::track(std::string discKey, std::string trackText) {
    return LibraryQuery(Kind::Track, {std::move(discKey), std::move(trackText)});
}

std::string LibraryQuery::sql() const {
    return sql("*");
}

std::string LibraryQuery::sql(const std::string& selectList) const {
    std::string text = "SELECT " + selectList + " FROM Audio WHERE cddbToc = ?1";
    switch (m_kind) {
        case Kind::OrderedDisc:
            return text + " ORDER BY trkNum";
        case Kind::Disc:
            return text;
        case Kind::Track:
            return text + " AND trkNum = ?2";
    }
    return text;
}

RowSet::RowSet(std::shared_ptr<LibraryConnection> connection, RowSetKind kind,
               std::vector<std::string> columns, std::vector<Row> rows)
    : m_connection(std::move(connection)),
      m_kind(kind),
      m_columns(std::move(columns)),
      m_rows(std::move(rows)),
      m_inTransaction(kind == RowSetKind::Updatable) {}

RowSet::RowSet(RowSet&& other) noexcept
    : m_connection(std::move(other.m_connection)),
      m_kind(other.m_kind),
      m_columns(std::move(other.m_columns)),
      m_rows(std::move(other.m_rows)),
      m_current(other.m_current),
      m_inTransaction(std::exchange(other.m_inTransaction, false)),
      m_editing(other.m_editing),
      m_editColumn(other.m_editColumn),
      m_editColumnName(std::move(other.m_editColumnName)),
      m_editValue(std::move(other.m_editValue)) {}

RowSet::~RowSet() {
    rollback();
}

void RowSet::moveNext() {
    if (!atEnd()) {
        ++m_current;
    }
    m_editing = false;
}

std::optional<std::size_t> RowSet::columnIndex(std::string_view column) const {
    for (std::size_t i = 0; i < m_columns.size(); ++i) {
        if (sameName(m_columns[i], column)) {
            return i;
        }
    }
    return std::nullopt;
}

Result<std::string> RowSet::text(std::string_view column) const {
    const std::string path = m_connection ? m_connection->path() : std::string();
    if (atEnd()) {
        return Result<std::string>::failure("There is no current row in the library " +
                                            quoted(path) + ".");
    }
    const auto index = columnIndex(column);
    if (!index) {
        return Result<std::string>::failure("The library " + quoted(path) + " has no column " +
                                            std::string(column) + " in its table Audio.");
    }
    const auto& value = m_rows[m_current].values[*index];
    return Result<std::string>::success(value.value_or(std::string()));
}

void RowSet::beginEdit() {
    m_editing = true;
    m_editColumn.reset();
}

void RowSet::setValue(std::string_view column, FieldValue value) {
    m_editColumn = columnIndex(column);
    m_editColumnName = std::string(column);
    m_editValue = std::move(value);
}

StoreStatus RowSet::saveRow() {
    const std::string path = m_connection ? m_connection->path() : std::string();
    if (m_kind != RowSetKind::Updatable || !m_inTransaction || !m_editing || atEnd()) {
        rollback();
        return StoreStatus::failure("The library " + quoted(path) +
                                    " was not opened for a change of this row.");
    }
    if (!m_editColumn) {
        rollback();
        return StoreStatus::failure("The library " + quoted(path) + " has no column " +
                                    m_editColumnName + " in its table Audio.");
    }
    // The column name comes from the table itself; quoting keeps it a name whatever it holds.
    std::string name;
    for (char c : m_columns[*m_editColumn]) {
        name += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    Statement update(m_connection->db(), "UPDATE Audio SET \"" + name + "\" = ?1 WHERE rowid = ?2");
    int code = update.prepareCode();
    if (code == SQLITE_OK) {
        if (const auto* text = std::get_if<std::string>(&m_editValue)) {
            code = bindText(update.get(), 1, *text);
        } else {
            code = sqlite3_bind_int64(update.get(), 1, std::get<std::int64_t>(m_editValue));
        }
    }
    if (code == SQLITE_OK) {
        code = sqlite3_bind_int64(update.get(), 2, m_rows[m_current].rowid);
    }
    if (code == SQLITE_OK) {
        code = sqlite3_step(update.get());
    }
    if (code != SQLITE_DONE) {
        const std::string message = m_connection->failure(code);
        rollback();
        return StoreStatus::failure(message);
    }
    auto& cell = m_rows[m_current].values[*m_editColumn];
    if (const auto* text = std::get_if<std::string>(&m_editValue)) {
        cell = *text;
    } else {
        cell = std::to_string(std::get<std::int64_t>(m_editValue));
    }
    m_editing = false;
    return StoreStatus::success({});
}

StoreStatus RowSet::close() {
    StoreStatus status = StoreStatus::success({});
    if (m_inTransaction && m_connection) {
        status = m_connection->execute("COMMIT");
        if (status.ok()) {
            m_inTransaction = false;
        }
    }
    rollback();
    m_rows.clear();
    m_current = 0;
    m_connection.reset();
    return status;
}

void RowSet::rollback() {
    if (m_inTransaction && m_connection) {
        // Also ends a transaction SQLite has already rolled back by itself.
        sqlite3_exec(m_connection->db(), "ROLLBACK", nullptr, nullptr, nullptr);
    }
    m_inTransaction = false;
}

Result<RowSet> LibraryDatabase::query(const LibraryQuery& query, RowSetKind kind) {
    using R = Result<RowSet>;
    if (!m_connection) {
        return R::failure("The library " + quoted(m_path) + " is closed.");
    }
    LibraryConnection& connection = *m_connection;
    const bool updatable = kind == RowSetKind::Updatable;
    if (updatable) {
        // Taken before reading, so the rows read are the rows changed and all the
        // changes of one operation are kept or dropped together.
        if (auto begun = connection.execute("BEGIN IMMEDIATE"); !begun.ok()) {
            return R::failure(begun.error());
        }
    }
    auto fail = [&](int code) {
        std::string message = connection.failure(code);
        if (updatable) {
            sqlite3_exec(connection.db(), "ROLLBACK", nullptr, nullptr, nullptr);
        }
        return R::failure(std::move(message));
    };

    Statement select(connection.db(), query.sql(updatable ? "rowid, *" : "*"));
    if (select.prepareCode() != SQLITE_OK) {
        return fail(select.prepareCode());
    }
    const auto& values = query.values();
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (const int code = bindText(select.get(), int(i + 1), values[i]); code != SQLITE_OK) {
            return fail(code);
        }
    }
    const int first = updatable ? 1 : 0;
    const int count = sqlite3_column_count(select.get());
    std::vector<std::string> columns;
    for (int i = first; i < count; ++i) {
        const char* name = sqlite3_column_name(select.get(), i);
        columns.emplace_back(name ? name : "");
    }
    std::vector<RowSet::Row> rows;
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(select.get())) == SQLITE_ROW) {
        RowSet::Row row;
        if (updatable) {
            row.rowid = sqlite3_column_int64(select.get(), 0);
        }
        for (int i = first; i < count; ++i) {
            if (sqlite3_column_type(select.get(), i) == SQLITE_NULL) {
                row.values.emplace_back();
                continue;
            }
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select.get(), i));
            const int bytes = sqlite3_column_bytes(select.get(), i);
            row.values.emplace_back(std::string(text ? text : "", std::size_t(bytes)));
        }
        rows.push_back(std::move(row));
    }
    if (code != SQLITE_DONE) {
        return fail(code);
    }
    return R::success(RowSet(m_connection, kind, std::move(columns), std::move(rows)));
}

LibraryDatabase::~LibraryDatabase() {
    close();
}

void LibraryDatabase::close() {
    m_connection.reset();
}

bool LibraryStore::isAvailable(const std::string& path) {
    struct stat info {};
    // "None selected" is what the settings hold when no library was chosen; it names no
    // library even if a file of that name happens to lie in the working directory.
    return !path.empty() && path != kNoDatabase && ::stat(path.c_str(), &info) == 0 &&
           S_ISREG(info.st_mode);
}

Result<LibraryDatabase> LibraryStore::open(const std::string& path) const {
    using R = Result<LibraryDatabase>;
    if (!isAvailable(path)) {
        return R::failure("The library " + quoted(path) + " does not exist or is not a file.");
    }
    // A name starting with "file:" would be read as a URI; "./" keeps it a plain path.
    const std::string name = path.front() == '/' ? path : "./" + path;
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(name.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    auto connection = std::make_shared<LibraryConnection>(db, path);
    if (code != SQLITE_OK) {
        return R::failure(describeFailure(path, code, db ? sqlite3_errmsg(db) : "out of memory"));
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, int(m_busyTimeout.count()));
    // A library may come from anywhere: its schema is not allowed to run functions with
    // side effects or to rewrite the file's inner structures.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);

    Statement audio(db,
                    "SELECT 1 FROM sqlite_schema WHERE type IN ('table', 'view') AND "
                    "name = 'Audio' COLLATE NOCASE");
    int step = audio.prepareCode();
    if (step == SQLITE_OK) {
        step = sqlite3_step(audio.get());
    }
    if (step == SQLITE_DONE) {
        return R::failure("The file " + quoted(path) + " is not a library: it has no table Audio.");
    }
    if (step != SQLITE_ROW) {
        return R::failure(connection->failure(step));
    }
    return R::success(LibraryDatabase(std::move(connection), path));
}

}  // namespace sonarch
