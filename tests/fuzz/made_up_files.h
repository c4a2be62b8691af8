#pragma once

// Data files for the sheet and TOC file fuzzers, made up from their names.

#include <cstdint>
#include <functional>
#include <string>

#include "device/images/cue_sheet.h"

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

}  // namespace sonarch
