#pragma once

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sonarch {

// One prepared statement, finalized on every way out. Values are bound, never pasted.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&&) = delete;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // SQLITE_OK when the text compiled.
    int prepareCode() const { return m_code; }
    // Binds ?index (counted from 1); the first failing bind's code is kept for step().
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bind(int index, std::int64_t number);
    // SQLITE_ROW, SQLITE_DONE or the error (also the compile or bind error, if any).
    int step();
    void reset();

    int columnCount() const;
    std::string columnName(int column) const;
    // The current row's cell as text: numbers as decimal text; no value gives nothing.
    std::optional<std::string> text(int column) const;
    std::int64_t number(int column) const;

private:
    sqlite3_stmt* m_stmt = nullptr;
    int m_code = SQLITE_OK;
};

// Why SQLite stopped a statement with SQLITE_INTERRUPT.
enum class SqliteInterruption { None, WorkTime, Stop };

// An open SQLite file, closed when destroyed.
class SqliteDatabase {
public:
    // `path` is always taken as a file name, never as a "file:" address.
    static SqliteDatabase open(const std::string& path, int flags);
    SqliteDatabase(SqliteDatabase&& other) noexcept;
    SqliteDatabase& operator=(SqliteDatabase&& other) noexcept;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;
    ~SqliteDatabase();

    int openCode() const { return m_code; }
    sqlite3* handle() const { return m_db; }
    // SQLite's own words for the last error.
    std::string lastError() const;
    // Runs statements that return nothing; the result code.
    int execute(const char* sql);
    SqliteStatement prepare(std::string_view sql) const { return SqliteStatement(m_db, sql); }
    // Rows changed by the last INSERT, UPDATE or DELETE.
    int changes() const;

    // From now on: a writer in another program is waited for up to `busyTimeout`, the
    // statements together may work for `workTime` besides that wait, and `stop` (when set,
    // from any thread or a signal handler) ends the wait or the statement at its next
    // step. A statement so ended fails with SQLITE_INTERRUPT and changes nothing.
    void limitWork(std::chrono::milliseconds busyTimeout, std::chrono::milliseconds workTime,
                   const std::atomic<bool>* stop);
    // What ended the last interrupted statement.
    SqliteInterruption interruption() const;

private:
    struct WorkLimit;

    SqliteDatabase(sqlite3* db, int code);
    sqlite3* m_db = nullptr;
    int m_code = SQLITE_OK;
    // Held apart, since SQLite keeps its address while this object moves.
    std::unique_ptr<WorkLimit> m_limit;
};

// A write transaction that rolls back unless committed, so a failure half way changes
// nothing. Taken at once (IMMEDIATE): what it reads is what it writes.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db) : m_db(db) {}
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    int begin();
    int commit();

private:
    SqliteDatabase& m_db;
    bool m_open = false;
};

}  // namespace sonarch
