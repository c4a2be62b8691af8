#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "library/library_outcome.h"
#include "library/library_store.h"

namespace sonarch {

enum class WhichRow { First, Last };

// Reads one column of the first or the last row a query matches, read-only. No matching
// row gives an empty text.
LibraryOutcome<std::string> ReadColumn(const LibraryStore& store, const std::string& path,
                                       const LibraryQuery& query, std::string_view column,
                                       WhichRow which);

// Sets one column of every row a query matches, in one transaction: either every row
// changes or none does. The value is the number of rows changed.
LibraryOutcome<int> WriteColumn(const LibraryStore& store, const std::string& path,
                                const LibraryQuery& query, std::string_view column,
                                const FieldValue& value);

}  // namespace sonarch
