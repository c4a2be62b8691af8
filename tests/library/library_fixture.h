#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <vector>

namespace sonarch::testing {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

// A direct connection to a database file, as another program filling or using the library
// would have; creates the file when missing. NULL cells read as "<null>".
class SqlFile {
public:
    explicit SqlFile(const std::string& path);
    ~SqlFile();
    SqlFile(const SqlFile&) = delete;
    SqlFile& operator=(const SqlFile&) = delete;

    // Runs statements; fails the current test on an error.
    void exec(const std::string& sql);
    // Runs statements and returns SQLite's result code instead of failing.
    int tryExec(const std::string& sql);
    std::vector<std::vector<std::string>> rows(const std::string& sql);
    std::string single(const std::string& sql);

private:
    sqlite3* m_db = nullptr;
};

// The table Audio as libraries hold it, optionally without one column, and its index.
std::string AudioTableSql(const std::string& leaveOut = "");

struct TestRow {
    TestRow(std::string key, std::string number, std::string title, int rating = 0,
            std::string album = {}, std::string track = {});

    std::string cddbToc;
    std::string trkNum;
    std::string trkTitle;
    int rating = 0;
    std::string aCom;
    std::string trkCom;
};

// Inserts rows with time trkNum + ":30", artist "Artist " + trkNum, album "Album" and
// cover "/covers/" + the key's first number + ".png".
void InsertRows(SqlFile& file, const std::vector<TestRow>& rows);

// Adds a row that the file's index does not know: PRAGMA quick_check passes such a file,
// the full integrity check does not.
void BreakIndex(const std::string& path);

// The number of open file descriptors of this process that refer to `path`.
int OpenDescriptorsOf(const std::string& path);

}  // namespace sonarch::testing
