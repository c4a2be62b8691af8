#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

#include "base/result.h"
#include "library/sqlite_database.h"

namespace sonarch {

// The table Audio: one row per track, found by (cddbToc, trkNum).
struct AudioColumn {
    std::string_view name;
    std::string_view definition;  // type and constraints
};

inline constexpr std::array<AudioColumn, 10> kAudioColumns = {{
    {"cddbToc", "TEXT NOT NULL"},
    {"trkNum", "TEXT NOT NULL"},
    {"trkTime", "TEXT NOT NULL DEFAULT ''"},
    {"trkTitle", "TEXT NOT NULL DEFAULT ''"},
    {"trkArtist", "TEXT NOT NULL DEFAULT ''"},
    {"Album", "TEXT NOT NULL DEFAULT ''"},
    {"Rating", "INTEGER NOT NULL DEFAULT 0"},
    {"Cover", "TEXT NOT NULL DEFAULT ''"},
    {"aCom", "TEXT NOT NULL DEFAULT ''"},
    {"trkCom", "TEXT NOT NULL DEFAULT ''"},
}};

// The version a library of ours carries in PRAGMA user_version. 0 is a library made before
// versions were kept, or by another program; 1 has the index on disc and track.
inline constexpr int kLibrarySchemaVersion = 1;

// The statements that make the table with these columns, its index and its version.
std::string AudioTableSql(std::span<const AudioColumn> columns = kAudioColumns);

// The version the file says it has.
Result<int> LibrarySchemaVersion(SqliteDatabase& db);

// Brings a library of an earlier version up to kLibrarySchemaVersion, step by step, in
// the caller's transaction. A library of a later version is refused: it may hold what
// this program does not know how to keep.
Result<int> MigrateLibrary(SqliteDatabase& db);

}  // namespace sonarch
