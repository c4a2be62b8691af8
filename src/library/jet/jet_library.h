#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "base/result.h"
#include "library/jet/jet_audio_table.h"

namespace sonarch {

// How long, and with how much memory, the child that reads an Access file may work.
struct JetReadLimits {
    std::chrono::milliseconds time{0};
    std::uint64_t memoryBytes = 0;
};

// Enough for any library a person keeps, scaled to the file's size; a damaged file that
// sends the reader round in circles or makes it allocate without end is stopped.
JetReadLimits JetReadLimitsFor(std::uint64_t fileSize);

// Reads the table Audio of the Access (Jet or ACE) file at `path`, which is only ever
// opened for reading. The file is read in a short-lived child process, so a damaged file
// can take down nothing but that child. Every failure comes in plain words naming the
// file: not an Access file, no table Audio, damaged, too slow.
Result<JetAudioTable> ReadJetLibrary(const std::string& path);
Result<JetAudioTable> ReadJetLibrary(const std::string& path, const JetReadLimits& limits);

}  // namespace sonarch
