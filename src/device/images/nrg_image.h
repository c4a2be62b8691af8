#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/result.h"
#include "device/drives/drive.h"
#include "device/images/cue_sheet.h"
#include "device/images/image_files.h"

namespace sonarch {

// How much of a Nero image's end is read for its track list: far more than 99 tracks and
// the largest CD-TEXT take.
constexpr std::size_t kNrgTailBytes = 256 * 1024;

// The disc a Nero image holds.
struct NrgLayout {
    DiscToc toc;
    std::vector<CueExtent> extents;         // in disc order, end to end from sector 0
    std::vector<std::uint8_t> cdTextPacks;  // its CD-TEXT chunk, when it has one
};

// Whether a file's end carries a Nero image's trailer ("NER5" or "NERO" and the place of
// its track list), whatever the file is named.
bool HasNrgTrailer(const FileTail& tail);

/*
 * Lays out the disc of a Nero image (NRG) from the chunks at its end, in `tail` (the file's
 * last bytes, see kNrgTailBytes): a disc-at-once image by its cue points (CUEX, or CUES of
 * images before Nero 5.5) and the places of its tracks in the file (DAOX, DAOI); a
 * track-at-once image by its track list (ETN2, ETNF), a two-second gap before each track
 * after the first. Its audio lies in the image itself at `path`; data tracks take their
 * room on the disc but are never read, and audio with sub-channel data is refused.
 * Failures say in plain words what is wrong with the image.
 */
Result<NrgLayout> LayOutNrgImage(const FileTail& tail, const std::string& path);

}  // namespace sonarch
