#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "base/result.h"
#include "device/drives/drive.h"
#include "device/images/disc_text.h"

namespace sonarch {

// The disc in a drive as the library tools need it, read the way the player reads it.
struct DriveDisc {
    std::string key;                      // the disc key as libraries store it
    std::vector<std::string> trackTimes;  // mm:ss, track 1 first, as the player shows them
    DiscToc toc;                          // for the MusicBrainz disc ID
    DiscText text;                        // the disc's CD-TEXT; empty when it has none
};

// How long a disc just put in may take to get ready: drives spin up and read the disc's
// lead-in in a few seconds, and try a hard-to-read disc for longer.
inline constexpr std::chrono::seconds kDiscReadyPatience{30};

// Opens the drive (demo, virtual:..., a CD drive or a disc image), waits until it has
// looked at its disc (and, while a disc just put in gets ready, up to kDiscReadyPatience,
// telling `waiting` first), and reads the key from the table of contents and the track
// lengths from "status cd length track N", as the player does. Blocks for as long as a
// physical drive takes to spin up: call it off a window's thread.
Result<DriveDisc> ReadDriveDisc(const std::string& driveSpec,
                                const std::function<void()>& waiting = {});

}  // namespace sonarch
