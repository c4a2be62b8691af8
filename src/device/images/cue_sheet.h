#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "device/drives/drive.h"

namespace sonarch {

// What laying out a sheet needs to know of one file it names.
struct CueDataFile {
    bool found = false;            // the file exists and can be read
    std::uint64_t dataOffset = 0;  // where its sectors start (past a WAV file's header)
    std::uint64_t dataBytes = 0;   // how many bytes of sectors follow
    std::string problem;           // why a found file cannot be used ("is not a WAV file")
};

// Looks a named file up; `wave` asks for the sound data of a WAV file rather than raw bytes.
using CueFileLookup = std::function<CueDataFile(const std::string& path, bool wave)>;

// A run of consecutive sectors on the disc, read from one file, or silence (a pregap the
// sheet lays on the disc without a file) when `path` is empty.
struct CueExtent {
    std::string path;
    std::uint64_t byteOffset = 0;  // where its first sector starts in the file
    std::int32_t firstSector = 0;  // on the disc
    std::int32_t sectors = 0;
};

struct CueLayout {
    DiscToc toc;
    std::vector<CueExtent> extents;  // in disc order, end to end from sector 0
    // The sheet's CD-TEXT lines (TITLE, PERFORMER, SONGWRITER, COMPOSER, ARRANGER, MESSAGE),
    // keyword in capitals, by track number; 0 holds those for the whole disc.
    std::map<int, std::map<std::string, std::string>> text;
};

/*
 * Lays out the disc a CUE sheet describes, honouring its FILE lines (a rip is often named
 * "album.cue" over "album (disc 1).bin"). A sheet of one file is laid out as the disc-image
 * readers lay it out, so its disc key stays what it always was: tracks start at their
 * INDEX 01 and a PREGAP adds nothing. When its one file is missing but a file named like the
 * sheet with ".bin" is there (a sheet renamed with its data), that file is taken. A sheet of
 * several files lays them end to end, and a PREGAP adds silence before its track.
 * Failures say in plain words whether the text is no CUE sheet, a data file is missing, or
 * which line is wrong; a disc longer than a CD can hold is refused.
 */
Result<CueLayout> LayOutCueSheet(std::string_view text, const std::string& sheetPath,
                                 const CueFileLookup& files);

// Splits a sheet's line into words; a quoted word may hold blanks.
std::vector<std::string> SheetWords(std::string_view line);

}  // namespace sonarch
