#include "library/schema.h"

namespace sonarch {

namespace {

constexpr const char* kIndexSql =
    "CREATE INDEX IF NOT EXISTS AudioByDiscAndTrack ON Audio (cddbToc, trkNum);";

// One step up from `from`; false when it failed.
bool migrateFrom(SqliteDatabase& db, int from) {
    switch (from) {
        case 0:
            return db.execute(kIndexSql) == SQLITE_OK;
        default:
            return false;
    }
}

std::string versionSql(int version) {
    return "PRAGMA user_version = " + std::to_string(version) + ";";
}

}  // namespace

std::string AudioTableSql(std::span<const AudioColumn> columns) {
    std::string sql = "CREATE TABLE Audio (";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        sql += (i ? ", " : "") + std::string(columns[i].name) + " " +
               std::string(columns[i].definition);
    }
    return sql + ");" + kIndexSql + versionSql(kLibrarySchemaVersion);
}

Result<int> LibrarySchemaVersion(SqliteDatabase& db) {
    SqliteStatement pragma = db.prepare("PRAGMA user_version");
    if (pragma.step() != SQLITE_ROW) {
        return Result<int>::failure(db.lastError());
    }
    return Result<int>::success(int(pragma.number(0)));
}

Result<int> MigrateLibrary(SqliteDatabase& db) {
    auto version = LibrarySchemaVersion(db);
    if (!version.ok()) {
        return version;
    }
    int at = version.value();
    if (at > kLibrarySchemaVersion) {
        return Result<int>::failure("it was made by a newer version of this program (version " +
                                    std::to_string(at) + ")");
    }
    for (; at < kLibrarySchemaVersion; ++at) {
        if (!migrateFrom(db, at) || db.execute(versionSql(at + 1).c_str()) != SQLITE_OK) {
            return Result<int>::failure(db.lastError());
        }
    }
    return Result<int>::success(at);
}

}  // namespace sonarch
