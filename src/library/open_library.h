#pragma once

#include <chrono>
#include <string>

#include "base/result.h"
#include "library/sqlite_database.h"

namespace sonarch {

// Opens an existing library for reading and writing, after checking that it is one (a
// SQLite file with a table Audio), with the library's own guards on; a writer in another
// program is waited for up to `busyTimeout`.
Result<SqliteDatabase> OpenLibrary(const std::string& path, std::chrono::milliseconds busyTimeout);

// Plain words for a failure SQLite reported on the library at `path`.
std::string DescribeLibraryFailure(const std::string& path, int code, const std::string& detail);

}  // namespace sonarch
