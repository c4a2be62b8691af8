#pragma once

#include <string>

#include "base/result.h"
#include "library/library_limits.h"
#include "library/sqlite_database.h"

namespace sonarch {

// True when the path names an existing regular file (not a directory); never for
// "None selected", which is what the settings hold when no library was chosen.
bool IsLibraryAvailable(const std::string& path);

// Opens an existing library for reading and writing, after checking that it is one: a
// SQLite file whose Audio is a plain table with no triggers on it. Whatever the file holds
// is kept from running code of its own, and every statement on it keeps to `limits`.
Result<SqliteDatabase> OpenLibrary(const std::string& path, const LibraryLimits& limits);

// Plain words for a failure SQLite reported on the library at `path`.
std::string DescribeLibraryFailure(const std::string& path, int code, const std::string& detail);

// The same for a failure on an open library, also telling why a statement was interrupted.
std::string LibraryFailure(const std::string& path, const SqliteDatabase& db, int code);

// "\"path\"", as messages name a file.
std::string QuotedPath(const std::string& path);

}  // namespace sonarch
