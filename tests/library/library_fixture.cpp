#include "library_fixture.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <system_error>

#include "library/schema.h"

namespace sonarch::testing {

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "library-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "mkdtemp");
    }
    m_path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code error;
    std::filesystem::remove_all(m_path, error);
}

SqlFile::SqlFile(const std::string& path) {
    if (sqlite3_open(path.c_str(), &m_db) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path << ": " << sqlite3_errmsg(m_db);
    }
    sqlite3_busy_timeout(m_db, 10000);
}

SqlFile::~SqlFile() {
    sqlite3_close_v2(m_db);
}

int SqlFile::tryExec(const std::string& sql) {
    return sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
}

void SqlFile::exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << (message ? message : "?");
    }
    sqlite3_free(message);
}

std::vector<std::vector<std::string>> SqlFile::rows(const std::string& sql) {
    std::vector<std::vector<std::string>> result;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << sql << ": " << sqlite3_errmsg(m_db);
        return result;
    }
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
            row.emplace_back(text ? text : "<null>");
        }
        result.push_back(std::move(row));
    }
    sqlite3_finalize(stmt);
    return result;
}

std::string SqlFile::single(const std::string& sql) {
    const auto result = rows(sql);
    if (result.size() != 1 || result[0].size() != 1) {
        ADD_FAILURE() << sql << " gave " << result.size() << " rows";
        return {};
    }
    return result[0][0];
}

std::string AudioTableSql(const std::string& leaveOut) {
    std::vector<AudioColumn> columns;
    for (const AudioColumn& column : kAudioColumns) {
        if (column.name != leaveOut) {
            columns.push_back(column);
        }
    }
    return sonarch::AudioTableSql(columns);
}

TestRow::TestRow(std::string key, std::string number, std::string title, int rating,
                 std::string album, std::string track)
    : cddbToc(std::move(key)),
      trkNum(std::move(number)),
      trkTitle(std::move(title)),
      rating(rating),
      aCom(std::move(album)),
      trkCom(std::move(track)) {}

void InsertRows(SqlFile& file, const std::vector<TestRow>& rows) {
    file.exec("BEGIN");
    for (const TestRow& row : rows) {
        auto quote = [](const std::string& text) {
            std::string out = "'";
            for (char c : text) {
                out += c == '\'' ? std::string("''") : std::string(1, c);
            }
            return out + "'";
        };
        const std::string firstNumber = row.cddbToc.substr(0, row.cddbToc.find(' '));
        file.exec("INSERT INTO Audio VALUES (" + quote(row.cddbToc) + ", " + quote(row.trkNum) +
                  ", " + quote(row.trkNum + ":30") + ", " + quote(row.trkTitle) + ", " +
                  quote("Artist " + row.trkNum) + ", 'Album', " + std::to_string(row.rating) +
                  ", " + quote("/covers/" + firstNumber + ".png") + ", " + quote(row.aCom) + ", " +
                  quote(row.trkCom) + ")");
    }
    file.exec("COMMIT");
}

// Rows the file's index does not know: PRAGMA quick_check passes such a file, the full
// check does not. Made the way a crash of another program, or a bug in one, can leave it.
void BreakIndex(const std::string& path) {
    std::string root;
    {
        SqlFile file(path);
        root = file.single("SELECT rootpage FROM sqlite_schema WHERE name = 'AudioByDiscAndTrack'");
        file.exec(
            "PRAGMA writable_schema = ON;"
            "DELETE FROM sqlite_schema WHERE name = 'AudioByDiscAndTrack';");
    }
    {
        SqlFile file(path);
        file.exec("INSERT INTO Audio (cddbToc, trkNum) VALUES ('150 1', '01')");
        file.exec(
            "PRAGMA writable_schema = ON;"
            "INSERT INTO sqlite_schema VALUES ('index', 'AudioByDiscAndTrack', 'Audio', " +
            root + ", 'CREATE INDEX AudioByDiscAndTrack ON Audio (cddbToc, trkNum)');");
    }
    SqlFile file(path);
    EXPECT_EQ(file.single("PRAGMA quick_check"), "ok");
    EXPECT_NE(file.single("PRAGMA integrity_check(1)"), "ok");
}

int OpenDescriptorsOf(const std::string& path) {
    const auto target = std::filesystem::canonical(path);
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        const auto link = std::filesystem::read_symlink(entry.path(), error);
        if (!error && link == target) {
            ++count;
        }
    }
    return count;
}

}  // namespace sonarch::testing
