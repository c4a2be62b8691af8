#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "device/images/cue_sheet.h"

namespace sonarch {

/*
 * How the player reads the files a disc image is made of. Only regular files are read: a
 * pipe, a device or a folder named in their place is refused before anything waits on it,
 * and a file is opened without blocking and checked again once open, so that one swapped
 * in meanwhile cannot hang the player either.
 */

// The text of a small file (a CUE sheet, a TOC file, a CD-TEXT file) named as `kind` in
// messages ("CUE sheet"), or why it cannot be read; more than `limit` bytes is refused.
Result<std::string> ReadSmallFile(const std::string& path, const std::string& kind,
                                  std::size_t limit);

// The last `count` bytes of a file (all of it when it is shorter), and its size.
struct FileTail {
    std::uint64_t fileSize = 0;
    std::uint64_t offset = 0;  // where `bytes` start in the file
    std::vector<std::uint8_t> bytes;
};
Result<FileTail> ReadFileTail(const std::string& path, const std::string& kind, std::size_t count);

// What a sheet's or TOC file's data file is on disk; `wave` asks for the sound data of a
// WAV file rather than its raw bytes.
CueDataFile LookUpDataFile(const std::string& path, bool wave);

}  // namespace sonarch
