#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "librarian/disc_draft.h"
#include "library/library_file.h"

namespace sonarch {

// A picture chosen for a disc and not saved beside the library yet.
struct PendingCover {
    std::string name;  // letters, digits and hyphens: a release's ID, or CoverNameOf
    std::string bytes;
};

// A cover's name from its bytes ("cover-" and 16 hexadecimal digits): the same picture
// chosen twice is kept once.
std::string CoverNameOf(std::string_view bytes);

// Saves the disc in one change to the library: adds it when `before` is nothing (a disc
// the library already holds is refused), else changes what differs from `before`. A
// pending cover is saved beside the library first and removed again when the change
// fails. Gives the disc as it is now stored.
Result<DiscDraft> SaveDraft(LibraryFile& library, const std::optional<DiscDraft>& before,
                            DiscDraft after, const std::optional<PendingCover>& cover);

}  // namespace sonarch
