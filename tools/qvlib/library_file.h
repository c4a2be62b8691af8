#pragma once

#include <string>
#include <vector>

#include "base/result.h"

namespace sonarch {

// One row of the table Audio, as the library tool writes and lists it.
struct LibraryRow {
    std::string cddbToc;
    std::string trkNum;
    std::string trkTime;
    std::string trkTitle;
    std::string trkArtist;
    std::string album;
    int rating = 0;
    std::string cover;
    std::string aCom;
    std::string trkCom;
};

// Makes a new, empty library: the table Audio and its index on (cddbToc, trkNum). Refuses
// to touch a file that already exists.
Result<bool> CreateLibraryFile(const std::string& path);

// Adds the rows of one disc (all with the same cddbToc) in one transaction. A disc that
// already has rows is refused unless `replace`, which removes its old rows first.
Result<bool> AddDiscRows(const std::string& path, const std::vector<LibraryRow>& rows,
                         bool replace);

// Every row, or those of one disc key, ordered by key and track.
Result<std::vector<LibraryRow>> ListRows(const std::string& path, const std::string* discKey);

}  // namespace sonarch
