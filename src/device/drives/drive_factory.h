#pragma once

#include <memory>
#include <string>

#include "base/result.h"
#include "device/drives/drive.h"

namespace sonarch {

// Opens the drive named on the command line: "demo", "virtual:LEN,LEN,..." (see
// parseVirtualDisc), a device node or disc image path, or "" for the system's default
// CD drive. A failure says why in words fit for a terminal (see PrintableText).
Result<std::unique_ptr<Drive>> openDrive(const std::string& name);

}  // namespace sonarch
