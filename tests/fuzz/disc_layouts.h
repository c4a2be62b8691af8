#pragma once

// What the image reader fuzzers share: data files made up from their names, and the
// checks every disc a reader lays out passes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "device/images/cue_sheet.h"
#include "fuzz_check.h"

namespace sonarch {

// A file for every name: missing, unusable, small or larger than any disc, by its name.
inline CueDataFile madeUpFile(const std::string& path, bool wave) {
    const std::size_t hash = std::hash<std::string>()(path);
    CueDataFile file;
    file.found = hash % 7 != 0;
    if (hash % 11 == 0) {
        file.problem = "is not a WAV file";
    }
    file.dataOffset = wave ? 44 : 0;
    const std::uint64_t sizes[] = {0,
                                   2351,
                                   2352 * 300,
                                   2352 * 4500 + 17,
                                   2352ull * 449849,
                                   2352ull * 449850,
                                   std::uint64_t(1) << 40,
                                   ~std::uint64_t(0)};
    file.dataBytes = sizes[(hash >> 8) % 8];
    return file;
}

// A disc a CD could be, its pieces end to end from its first sector to its leadout.
inline void checkLayout(const DiscToc& toc, const std::vector<CueExtent>& pieces) {
    FUZZ_CHECK(TocLaysOutADisc(toc));
    std::int64_t next = 0;
    for (const CueExtent& piece : pieces) {
        FUZZ_CHECK(piece.sectors >= 0);
        FUZZ_CHECK(piece.firstSector == next);
        next += piece.sectors;
    }
    FUZZ_CHECK(next == toc.leadoutSector);
}

}  // namespace sonarch
