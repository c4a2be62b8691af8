#pragma once

#include "base/result.h"
#include "library/disc_entry.h"
#include "lookup/release_list.h"

namespace sonarch {

// The disc named by a release: the release's tracks laid on the disc's audio tracks in
// order (data tracks keep the player's names), the release's title as the album. A
// release with another number of tracks than the disc's audio tracks is refused.
Result<DiscEntry> ReleaseDiscEntry(const DriveDisc& disc, const Release& release);

}  // namespace sonarch
