#include "library/sqlite_database.h"

#include <utility>

namespace sonarch {

SqliteStatement::SqliteStatement(sqlite3* db, std::string_view sql) {
    m_code = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &m_stmt, nullptr);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_stmt(std::exchange(other.m_stmt, nullptr)), m_code(other.m_code) {}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
    if (m_code == SQLITE_OK) {
        m_code = sqlite3_bind_text(m_stmt, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
    }
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::int64_t number) {
    if (m_code == SQLITE_OK) {
        m_code = sqlite3_bind_int64(m_stmt, index, number);
    }
    return *this;
}

int SqliteStatement::step() {
    return m_code == SQLITE_OK ? sqlite3_step(m_stmt) : m_code;
}

void SqliteStatement::reset() {
    if (m_stmt) {  // a statement that did not compile has nothing to reset
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
    }
}

int SqliteStatement::columnCount() const {
    return sqlite3_column_count(m_stmt);
}

std::string SqliteStatement::columnName(int column) const {
    const char* name = sqlite3_column_name(m_stmt, column);
    return name ? name : "";
}

std::optional<std::string> SqliteStatement::text(int column) const {
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return std::string(text ? text : "", std::size_t(sqlite3_column_bytes(m_stmt, column)));
}

std::int64_t SqliteStatement::number(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

SqliteDatabase SqliteDatabase::open(const std::string& path, int flags) {
    // A name starting with "file:" would be read as an address; "./" keeps it a plain path.
    const std::string name = !path.empty() && path.front() == '/' ? path : "./" + path;
    sqlite3* db = nullptr;
    const int code = sqlite3_open_v2(name.c_str(), &db, flags, nullptr);
    if (db) {
        sqlite3_extended_result_codes(db, 1);
    }
    return SqliteDatabase(db, code);
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_code(other.m_code) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
    if (this != &other) {
        sqlite3_close_v2(m_db);
        m_db = std::exchange(other.m_db, nullptr);
        m_code = other.m_code;
    }
    return *this;
}

SqliteDatabase::~SqliteDatabase() {
    sqlite3_close_v2(m_db);
}

std::string SqliteDatabase::lastError() const {
    return m_db ? sqlite3_errmsg(m_db) : "out of memory";
}

int SqliteDatabase::execute(const char* sql) {
    return sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
}

int SqliteDatabase::changes() const {
    return sqlite3_changes(m_db);
}

SqliteTransaction::~SqliteTransaction() {
    if (m_open) {
        // Also ends a transaction that SQLite has already rolled back by itself.
        m_db.execute("ROLLBACK");
    }
}

int SqliteTransaction::begin() {
    const int code = m_db.execute("BEGIN IMMEDIATE");
    m_open = code == SQLITE_OK;
    return code;
}

int SqliteTransaction::commit() {
    const int code = m_db.execute("COMMIT");
    if (code == SQLITE_OK) {
        m_open = false;
    }
    return code;
}

}  // namespace sonarch
