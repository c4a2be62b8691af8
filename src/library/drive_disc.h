#pragma once

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

// Opens the drive (demo, virtual:..., a CD drive or a disc image), waits until it has
// looked at its disc, and reads the key from the table of contents and the track lengths
// from "status cd length track N", as the player does. Blocks for as long as a physical
// drive takes to spin up: call it off a window's thread.
Result<DriveDisc> ReadDriveDisc(const std::string& driveSpec);

}  // namespace sonarch
