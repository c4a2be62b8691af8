#pragma once

#include <functional>
#include <string>

#include "base/result.h"
#include "device/mci/device_layer.h"

namespace sonarch {

inline constexpr std::size_t kStoredKeyLength = 250;  // libraries keep this much of a key

// Builds the disc's key from its table of contents: the start frame of every track, then
// the start of track 1 plus the disc length plus one. Closes and reopens the device, and
// leaves it in "tmsf" on success. `letEventsRun` lets the window process pending events.
Result<std::string> ComputeDiscKey(DeviceLayer& device, const std::function<void()>& letEventsRun);

}  // namespace sonarch
