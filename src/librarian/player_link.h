#pragma once

#include <string>

#include "base/result.h"

namespace sonarch {

// The library window's side of the player: which library the player uses, and what the
// player must know when the window changes it.
class PlayerLink {
public:
    virtual ~PlayerLink() = default;
    // The library the player uses ("None selected" when none is chosen).
    virtual std::string playerLibrary() = 0;
    // Makes the player use the library at `path` from now on, as if chosen in its options
    // dialog: the running player at once, else at its next start.
    virtual Result<bool> useLibrary(const std::string& path) = 0;
    // Rows of the disc with this key were saved or removed in the library at `library`: the
    // player looks its disc up again when that is the disc it has.
    virtual void discChanged(const std::string& library, const std::string& key) = 0;
};

}  // namespace sonarch
