#include "library/sqlite_database.h"

#include <algorithm>
#include <thread>
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

struct SqliteDatabase::WorkLimit {
    using Clock = std::chrono::steady_clock;

    std::chrono::milliseconds busyTimeout{0};
    std::chrono::milliseconds workTime{0};
    const std::atomic<bool>* stop = nullptr;
    Clock::time_point started = Clock::now();
    Clock::duration waited{0};  // spent waiting for other writers, not counted as work
    SqliteInterruption reason = SqliteInterruption::None;

    bool stopAsked() const { return stop && stop->load(std::memory_order_relaxed); }

    // SQLite's progress handler: a non-zero answer interrupts the statement.
    static int onProgress(void* context) {
        auto& limit = *static_cast<WorkLimit*>(context);
        if (limit.stopAsked()) {
            limit.reason = SqliteInterruption::Stop;
            return 1;
        }
        if (Clock::now() - limit.started - limit.waited > limit.workTime) {
            limit.reason = SqliteInterruption::WorkTime;
            return 1;
        }
        return 0;
    }

    // SQLite's busy handler: sleeps a little and asks again (non-zero), until the wait is
    // used up or a stop is asked for.
    static int onBusy(void* context, int attempt) {
        auto& limit = *static_cast<WorkLimit*>(context);
        using std::chrono::milliseconds;
        const auto waitedSoFar = std::chrono::duration_cast<milliseconds>(limit.waited);
        if (limit.stopAsked() || waitedSoFar >= limit.busyTimeout) {
            return 0;
        }
        // Short naps first, as a lock is mostly let go soon; never past the timeout.
        constexpr milliseconds kNaps[] = {milliseconds(1),  milliseconds(2),  milliseconds(5),
                                          milliseconds(10), milliseconds(20), milliseconds(50)};
        const milliseconds nap =
            std::min(kNaps[std::min<std::size_t>(std::size_t(attempt), std::size(kNaps) - 1)],
                     limit.busyTimeout - waitedSoFar);
        const auto before = Clock::now();
        std::this_thread::sleep_for(nap);
        limit.waited += Clock::now() - before;
        return 1;
    }
};

// How many of SQLite's virtual machine steps run between two looks at the clock.
constexpr int kStepsBetweenChecks = 1000;

SqliteDatabase::SqliteDatabase(sqlite3* db, int code) : m_db(db), m_code(code) {}

void SqliteDatabase::limitWork(std::chrono::milliseconds busyTimeout,
                               std::chrono::milliseconds workTime, const std::atomic<bool>* stop) {
    if (!m_db) {
        return;
    }
    m_limit = std::make_unique<WorkLimit>();
    m_limit->busyTimeout = busyTimeout;
    m_limit->workTime = workTime;
    m_limit->stop = stop;
    sqlite3_busy_handler(m_db, &WorkLimit::onBusy, m_limit.get());
    sqlite3_progress_handler(m_db, kStepsBetweenChecks, &WorkLimit::onProgress, m_limit.get());
}

SqliteInterruption SqliteDatabase::interruption() const {
    return m_limit ? m_limit->reason : SqliteInterruption::None;
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
    : m_db(std::exchange(other.m_db, nullptr)),
      m_code(other.m_code),
      m_limit(std::move(other.m_limit)) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
    if (this != &other) {
        sqlite3_close_v2(m_db);
        m_db = std::exchange(other.m_db, nullptr);
        m_code = other.m_code;
        m_limit = std::move(other.m_limit);
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
