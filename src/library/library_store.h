#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/result.h"

namespace sonarch {

// What the settings hold when no library has been chosen; it names no library.
inline constexpr const char* kNoDatabase = "None selected";

class LibraryConnection;

// Success carries nothing; a failure carries a message in plain words naming the file.
using StoreStatus = Result<std::monostate>;

// The three questions the player asks its library. Values are bound as parameters, so a
// key can never change the meaning of the statement.
class LibraryQuery {
public:
    // Every row of a disc, in trkNum order.
    static LibraryQuery orderedDisc(std::string discKey);
    // Every row of a disc, in the order the store keeps them.
    static LibraryQuery disc(std::string discKey);
    // The rows of one track; `trackText` is the number as two digits ("07").
    static LibraryQuery track(std::string discKey, std::string trackText);

    // The statement text, with ?1 for the key and ?2 for the track.
    std::string sql() const;
    const std::vector<std::string>& values() const { return m_values; }

private:
    friend class LibraryDatabase;
    enum class Kind { OrderedDisc, Disc, Track };
    std::string sql(const std::string& selectList) const;
    LibraryQuery(Kind kind, std::vector<std::string> values)
        : m_kind(kind), m_values(std::move(values)) {}

    Kind m_kind;
    std::vector<std::string> m_values;
};

enum class RowSetKind { ReadOnly, Updatable };

using FieldValue = std::variant<std::string, std::int64_t>;

// The rows a query matched, read in full when the query ran, so no statement stays open
// while the caller works through them. An updatable row set holds a write transaction
// from the query to close(): if it is destroyed without close(), or a save fails, every
// row it changed keeps its old value.
class RowSet {
public:
    RowSet(RowSet&& other) noexcept;
    RowSet& operator=(RowSet&&) = delete;
    RowSet(const RowSet&) = delete;
    ~RowSet();

    bool atEnd() const { return m_current >= m_rows.size(); }
    void moveNext();
    std::size_t size() const { return m_rows.size(); }

    // The current row's value of a column (any case) as text: no value reads as empty
    // text, numbers as decimal text. Fails for a column the table does not have or when
    // there is no current row.
    Result<std::string> text(std::string_view column) const;

    // Changing one column of the current row: begin, set, save. Only on an updatable set.
    void beginEdit();
    void setValue(std::string_view column, FieldValue value);
    StoreStatus saveRow();

    // Commits the changes of an updatable set; a read-only set just lets go of its rows.
    // After a failed commit nothing is kept. Safe to call twice.
    StoreStatus close();

private:
    friend class LibraryDatabase;
    struct Row {
        std::int64_t rowid = 0;
        std::vector<std::optional<std::string>> values;
    };

    RowSet(std::shared_ptr<LibraryConnection> connection, RowSetKind kind,
           std::vector<std::string> columns, std::vector<Row> rows);
    std::optional<std::size_t> columnIndex(std::string_view column) const;
    void rollback();

    // Shared with the database, so the connection outlives whichever of the two goes last.
    std::shared_ptr<LibraryConnection> m_connection;
    RowSetKind m_kind;
    std::vector<std::string> m_columns;
    std::vector<Row> m_rows;
    std::size_t m_current = 0;
    bool m_inTransaction = false;
    bool m_editing = false;
    std::optional<std::size_t> m_editColumn;
    std::string m_editColumnName;
    FieldValue m_editValue;
};

// One open library file, closed when destroyed or by close(). A row set still alive keeps
// the file open until it goes too.
class LibraryDatabase {
public:
    LibraryDatabase(LibraryDatabase&& other) noexcept = default;
    LibraryDatabase& operator=(LibraryDatabase&&) = delete;
    LibraryDatabase(const LibraryDatabase&) = delete;
    ~LibraryDatabase();

    Result<RowSet> query(const LibraryQuery& query, RowSetKind kind);
    void close();
    bool isOpen() const { return m_connection != nullptr; }
    const std::string& path() const { return m_path; }

private:
    friend class LibraryStore;
    LibraryDatabase(std::shared_ptr<LibraryConnection> connection, std::string path)
        : m_connection(std::move(connection)), m_path(std::move(path)) {}

    std::shared_ptr<LibraryConnection> m_connection;
    std::string m_path;
};

// The library file: a SQLite database with the table Audio. The player opens an existing
// file per operation and never creates files, tables or rows.
class LibraryStore {
public:
    // How long an operation waits for another program that is writing the file.
    static constexpr std::chrono::milliseconds kDefaultBusyTimeout{2000};

    explicit LibraryStore(std::chrono::milliseconds busyTimeout = kDefaultBusyTimeout)
        : m_busyTimeout(busyTimeout) {}

    // True when the path names an existing regular file (not a directory); never for
    // "None selected".
    static bool isAvailable(const std::string& path);

    // Fails, with the file named, when the file is missing or is no library with a table
    // Audio.
    Result<LibraryDatabase> open(const std::string& path) const;

private:
    std::chrono::milliseconds m_busyTimeout;
};

}  // namespace sonarch
