#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/result.h"
#include "device/drives/drive.h"
#include "device/images/cue_sheet.h"
#include "device/images/disc_text.h"

namespace sonarch {

// The disc a cdrdao TOC file describes.
struct TocLayout {
    DiscToc toc;
    std::vector<CueExtent> extents;  // in disc order, end to end from sector 0
    DiscText text;
};

/*
 * Lays out the disc of a cdrdao TOC file: its tracks end to end, each made of the pieces
 * its FILE (AUDIOFILE), DATAFILE, SILENCE, ZERO and PREGAP lines name, in order; START (or
 * PREGAP) marks where the track proper begins, after its pregap. Data files are looked up
 * through `files` (a relative name lies beside the TOC file; a ".wav" file gives its sound
 * data). Data tracks take their room on the disc but are never read. The CD_TEXT blocks
 * give the titles and performers of the disc and its tracks, in English when the
 * LANGUAGE_MAP has it, else in the first language. Failures say in plain words which
 * line is wrong and why; a disc longer than a CD can hold is refused.
 */
Result<TocLayout> LayOutTocFile(std::string_view text, const std::string& tocPath,
                                const CueFileLookup& files);

}  // namespace sonarch
